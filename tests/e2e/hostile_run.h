#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/run_process.h"

namespace zovu::testing {

// Where the program's standard output goes.
enum class Output {
  kPipe,               // a pipe that the test reads
  kPipeWithoutReader,  // a pipe whose reading end is already closed
  kFullDevice,         // /dev/full: every write fails for want of space
  kClosed,             // no standard output at all
};

struct HostileRun {
  Output output = Output::kPipe;
  bool ignoreBrokenPipe = false;  // start with SIGPIPE ignored, as some parents do
  bool asNobody = false;          // drop root's privileges to the user nobody first
  unsigned fileLimit = 0;         // at most this many open files (0: no new limit)
  // The run is ended by SIGALRM after this long, so a run that hangs fails the test
  // instead of holding up the suite.
  unsigned deadlineSeconds = 60;
};

// Runs the program under test in dir with standard input empty and standard error captured;
// standard output as how.output says (captured only for kPipe).
ProcessResult RunZovuHostile(const std::vector<std::string>& args, const std::filesystem::path& dir,
                             const HostileRun& how);

// True when the user nobody exists, so that asNobody can work.
bool HaveNobody();

}  // namespace zovu::testing
