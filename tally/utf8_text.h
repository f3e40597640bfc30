#pragma once

#include <cstddef>
#include <string_view>

namespace zovu {

// True when text is well-formed UTF-8: no stray continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The length of the well-formed UTF-8 character that starts at text[at], whose code point
// goes into c; 0 when the byte there starts none.
std::size_t Utf8CharacterAt(std::string_view text, std::size_t at, char32_t& c);

// The number of bytes taken by the first `characters` characters of well-formed UTF-8
// text (all of it when it has fewer).
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters);

// The number of characters in well-formed UTF-8 text.
std::size_t Utf8Characters(std::string_view text);

}  // namespace zovu
