#pragma once

#include <string>
#include <vector>

namespace zovu {

// The command-line parameters after the program's name, as UTF-8 text. On Windows they
// are read from the wide command line, so that no name outside the ANSI code page is
// lost; elsewhere they are argv as it is.
std::vector<std::string> CommandLineParameters(int argc, char** argv);

}  // namespace zovu
