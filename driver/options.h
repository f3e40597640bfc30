#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/config_block.h"
#include "driver/environment.h"

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
// Applies the options to the block, left to right, in one pass. Returns the exit status
// when an option ended the run: -W, --help, --version or an invalid option.
std::optional<int> ProcessOptions(const Parameters& params, ConfigBlock& block, Environment& env);

}  // namespace zovu
