#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zovu::testing {

struct ProcessResult {
  int exitStatus = -1;  // the exit code, or 128 + signal number
  std::string out;
  std::string err;
};

// Runs program with args in dir, standard input empty, both outputs captured through
// pipes (so neither is a terminal).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir);

// Runs the zovu binary under test.
ProcessResult RunZovu(const std::vector<std::string>& args, const std::filesystem::path& dir);

}  // namespace zovu::testing
