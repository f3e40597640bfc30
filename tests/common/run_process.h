#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zovu::testing {

struct ProcessResult {
  int exitStatus = -1;  // the exit code, or 128 + signal number
  std::string out;
  std::string err;
};

// Runs program (found on PATH when it has no "/") with args in dir, standard input
// empty, both outputs captured through pipes (so neither is a terminal).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir);

// Runs the zovu binary under test: the one built here, or the command that the
// environment variable ZOVU_TEST_COMMAND gives, split at blanks (for the Windows
// build, "/path/wine-run /path/zovu.exe"). Relative paths in it are taken from the
// directory the tests start in.
ProcessResult RunZovu(const std::vector<std::string>& args, const std::filesystem::path& dir);

// Runs program, a file that stands in for the program file under test (a copy of it, or
// a link to it), the way the program under test is run: under Wine for a Windows program.
ProcessResult RunZovuFile(const std::filesystem::path& program,
                          const std::vector<std::string>& args, const std::filesystem::path& dir);

// The command that runs the program under test: the binary built here, or the words
// of ZOVU_TEST_COMMAND (a launcher first, the program file last).
std::vector<std::string> CommandUnderTest();

// The program file under test: the one built here, or the last word of
// ZOVU_TEST_COMMAND.
std::filesystem::path ProgramFileUnderTest();

// True when the program under test is a Windows program (ZOVU_TEST_COMMAND names an
// ".exe"), run under Wine. Tests that need what only POSIX gives (pseudo-terminals,
// other users, special file types) skip then.
bool WindowsBinaryUnderTest();

// An absolute path of this machine as the program under test names it: unchanged for a
// POSIX program; for a Windows program under Wine, on the drive Z: that Wine gives the
// Unix root ("/tmp/x" becomes "Z:\tmp\x").
std::string PathForProgram(const std::filesystem::path& path);

// The text with every "\n" turned into the line end of the program under test
// ("\r\n" for a Windows program), for exact comparisons of its output.
std::string WithLineEnds(std::string_view text);

}  // namespace zovu::testing
