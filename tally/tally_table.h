#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/console.h"
#include "tally/extension_tally.h"

namespace zovu {

// Prints the rows as the boxed table: six file counts, or three size totals, to a row.
void PrintTallyTable(Console& console, const TallyRows& rows, bool totalSizes);

// s cut to its first w characters, then filled with f up to w columns as a terminal
// shows it (DisplayColumns), so that keys line up whatever their characters' widths; a
// text wider than that is left as it is (nothing for w of 0 or less). Characters are
// counted as in tally keys: UTF-8 characters in well-formed UTF-8, bytes otherwise.
std::string PadRight(std::string_view s, int w, char f);
// s followed by blanks up to the given columns as a terminal shows it (DisplayColumns);
// never cut.
std::string PadToColumns(std::string_view s, std::size_t columns);
// n copies of c; nothing for n of 0 or less.
std::string RepeatChar(char c, int n);

std::string_view SingularOrPlural(std::int64_t n, std::string_view singular,
                                  std::string_view plural);
// "N matches found!", or "1 match found!".
std::string SummaryLine(std::int64_t matchCount);

}  // namespace zovu
