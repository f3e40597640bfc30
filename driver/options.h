#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/config_block.h"
#include "driver/environment.h"
#include "driver/run_options.h"

namespace zovu {

using Parameters = std::vector<std::string>;

// A plain parameter: one that does not begin with "-", or a lone "-".
bool IsPlainParameter(std::string_view param);
// The n-th plain parameter, counting from 1; empty when there are fewer. A lone "-"
// counts as a plain parameter.
std::string GetParameter(const Parameters& params, std::size_t n);
// Applies the character after an option letter to a switch: a blank toggles it, "+"
// sets it, "-" clears it. False, and the switch unchanged, for any other character.
bool SetSwitch(std::uint8_t& value, char c);
// Applies the options, left to right, in one pass: the short ones to the block, the long
// ones to options (-W saves the block alone). Returns the exit status when an option
// ended the run: -W, --help, --version, an invalid option or options that do not go
// together.
std::optional<int> ProcessOptions(const Parameters& params, ConfigBlock& block, RunOptions& options,
                                  Environment& env);

}  // namespace zovu
