#pragma once

#include <optional>
#include <string_view>

#include "driver/config_block.h"
#include "support/console.h"

namespace zovu {

// --help (the usage text and where the manual is) and --version (the version, the
// copyright and the license), written as a run's report. The exit status when param is
// one of them, written exactly so; nothing for any other parameter.
std::optional<int> RunLongOption(std::string_view param, const ConfigBlock& block,
                                 Console& console);

}  // namespace zovu
