#pragma once

#include <string>
#include <vector>

namespace zovu {

// The command-line parameters after the program's name, as UTF-8 text. On Windows they
// are read from the wide command line, so that no name outside the ANSI code page is
// lost; elsewhere they are argv as it is.
std::vector<std::string> CommandLineParameters(int argc, char** argv);

// The program's own file found from the name it was started by (argv[0]), for systems
// that cannot tell it directly: a name without a directory is looked for on PATH, and
// links are resolved. The name itself when nothing better is found.
std::string ProgramFileFromName(const std::string& name);

}  // namespace zovu
