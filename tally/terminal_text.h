#pragma once

#include <string>
#include <string_view>

namespace zovu {

// Text from file names as a terminal may be shown it: every control character becomes
// "?", so that a name cannot move the cursor, switch the character set or reset the
// terminal. Those are the bytes below 32 and 127, and the controls from 128 to 159: as
// the UTF-8 characters U+0080 to U+009F in well-formed UTF-8, as single bytes otherwise.
// A character is replaced by one "?", so the text keeps its width.
std::string TerminalSafe(std::string_view text);

}  // namespace zovu
