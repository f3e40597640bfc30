#pragma once

#include <string>

namespace zovu {

// The file of the running program as the kernel knows it, or empty when it cannot tell.
std::string PosixProgramPath();

}  // namespace zovu
