#pragma once

#include <cstddef>
#include <string_view>

namespace zovu {

// True when text is well-formed UTF-8: no stray continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The number of bytes taken by the first `characters` characters of well-formed UTF-8
// text (all of it when it has fewer).
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters);

// The number of characters in well-formed UTF-8 text.
std::size_t Utf8Characters(std::string_view text);

}  // namespace zovu
