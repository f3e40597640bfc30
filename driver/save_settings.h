#pragma once

#include "driver/config_block.h"
#include "driver/environment.h"

namespace zovu {

// The -W option: writes the block into the configuration file in the current directory,
// named after the program's own file with ".cfg", and reports the outcome. Returns the
// exit status with which the run ends.
int SaveSettings(ConfigBlock& block, Environment& env);

}  // namespace zovu
