#pragma once

#include <string_view>

namespace zovu {

// True when at least one mask of the comma-separated list selects the name.
bool MatchMaskList(std::string_view name, std::string_view maskList);

}  // namespace zovu
