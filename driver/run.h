#pragma once

#include "driver/environment.h"
#include "driver/options.h"

namespace zovu {

// The program's main procedure: usage text, or options, search and report. Returns the
// exit status.
int RunZovu(const Parameters& params, Environment& env);

}  // namespace zovu
