#pragma once

#include <string>
#include <string_view>

namespace zovu {

// Appends "name": "text" to a JSON object. Text that is well-formed UTF-8 is written as it
// is. Other text is written with U+FFFD for each byte that is no part of a UTF-8
// character, followed by "name_hex": its exact bytes as lower-case hex digits, so that
// the document stays valid and loses nothing.
void AppendJsonText(std::string& out, std::string_view name, std::string_view text);

// text as a JSON string in quotes, with U+FFFD for each byte that is no part of a UTF-8
// character. Besides what JSON must escape, the
// characters that could steer a terminal the document is shown on are escaped too:
// control characters, U+2028 and U+2029, and the invisible characters that turn text
// around or hide in it. Escaped, they mean the same characters.
std::string JsonString(std::string_view text);

}  // namespace zovu
