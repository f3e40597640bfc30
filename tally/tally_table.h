#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/console.h"
#include "tally/extension_tally.h"

namespace zovu {

// Prints the tally as the boxed table and releases its entries.
void PrintTallyTable(Console& console, ExtensionTally& tally);
std::string_view SingularOrPlural(std::int64_t n, std::string_view singular,
                                  std::string_view plural);
// "N matches found!", or "1 match found!".
std::string SummaryLine(std::int64_t matchCount);

}  // namespace zovu
