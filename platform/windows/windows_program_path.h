#pragma once

#include <string>

namespace zovu {

// The file of the running program (GetModuleFileNameW) as UTF-8, or empty when the
// system cannot tell. Unlike argv[0], which is in the ANSI code page, it keeps every
// character of the name.
std::string WindowsProgramPath();

}  // namespace zovu
