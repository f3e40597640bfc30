#pragma once

#include "support/console.h"

namespace zovu {

// The banner and usage text, showing the current subdirectory switch.
void PrintUsage(Console& console, bool subDirs);
// The long options, for --help.
void PrintLongOptions(Console& console);

}  // namespace zovu
