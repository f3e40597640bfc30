#pragma once

#include <array>
#include <string>
#include <string_view>

#include "tally/extension_tally.h"

namespace zovu {

// Room for the digits of any figure: 39 digits and a sign.
using DecimalBuffer = std::array<char, 48>;

// The exact decimal digits of a figure, with a "-" in front when it is negative, written
// into buffer (no allocation, for the table's many cells).
std::string_view DecimalDigits(TallyBytes value, DecimalBuffer& buffer);
std::string DecimalText(TallyBytes value);

}  // namespace zovu
