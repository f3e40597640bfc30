#pragma once

#include <optional>
#include <string_view>

#include "driver/config_block.h"
#include "driver/run_options.h"
#include "support/console.h"

namespace zovu {

// Reads one long option, a parameter that begins with "--": "--name", or "--name=value"
// in the GNU form. --help (the usage text, the long options and where the manual is) and
// --version (the version, the copyright and the license) are written as a run's report.
// Returns the exit status when the option ends the run (--help, --version, an unknown
// option or an invalid value); nothing when it was read into options.
std::optional<int> ReadLongOption(std::string_view param, const ConfigBlock& block,
                                  RunOptions& options, Console& console);

// The options that do not go together, once all are read: the exit status of the problem,
// or nothing.
std::optional<int> CheckLongOptions(const RunOptions& options, Console& console);

}  // namespace zovu
