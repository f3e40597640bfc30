#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zovu {

// Text from file names as a terminal may be shown it, so that a name cannot move the
// cursor, switch the character set, reset the terminal or turn the text that follows it
// around. Shown as "?": every control character (the bytes below 32 and 127, and U+0080
// to U+009F) and the invisible format characters that steer the direction of text or
// hide in it (U+200B to U+200F, U+202A to U+202E, U+2066 to U+2069). Shown as U+FFFD:
// every byte that is no part of a well-formed UTF-8 character. Each replacement takes one
// column, as DisplayColumns counts the character it replaces.
std::string TerminalSafe(std::string_view text);

// The columns text takes on a terminal when shown terminal-safe: characters as
// CharacterColumns counts them, and one for every character or byte that TerminalSafe
// replaces.
std::size_t DisplayColumns(std::string_view text);

}  // namespace zovu
