#pragma once

#include <string>
#include <string_view>

namespace zovu {

// Appends "name": "text" to a JSON object. Besides what JSON must escape, the characters
// that could steer a terminal the document is shown on are written as escapes (control
// characters, U+2028 and U+2029, and the invisible characters that turn text around or
// hide in it), and so is U+FFFD, which then stands out as a stand-in; escaped, they mean
// the same text. Text that is not well-formed UTF-8 is written with U+FFFD for each byte
// that is no part of a UTF-8 character, followed by "name_hex": its exact bytes as
// lower-case hex digits, so that the document stays valid and loses nothing.
void AppendJsonText(std::string& out, std::string_view name, std::string_view text);

}  // namespace zovu
