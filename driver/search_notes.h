#pragma once

#include <cstdint>
#include <string_view>

#include "driver/environment.h"
#include "search/file_search.h"
#include "search/search_arg.h"

namespace zovu {

// Notes on standard error about what a search did not walk; the report and the exit
// status stay as they are.

// A start directory that cannot be entered is skipped without a report (outside list
// files, where it is an error): names it, with the system's reason.
// Names on standard error what made the search report errors: a line each for the first
// few, and how many more there were.
void NoteFailures(const SearchOutcome& outcome, Environment& env);

void NoteUnenteredStart(const SearchTarget& target, const SearchOutcome& outcome, Environment& env);

// A search that matched nothing, whose argument (without its masks) names a directory
// written without the trailing separator, so that its last part was read as a mask:
// suggests the separator.
void NoteMissingSeparator(std::string_view arg, const SearchTarget& target, std::uint64_t matches,
                          Environment& env);

}  // namespace zovu
