#pragma once

#include <cstddef>
#include <string_view>

namespace zovu {

// The number of bytes of the multi-byte UTF-8 character that starts at text[at], or 1
// when the byte there starts none (a stray continuation byte, an overlong or cut
// sequence, a value past U+10FFFF): such a byte is a character by itself. Encoded
// surrogates (ED A0..BF) are characters too: Windows names carry unpaired surrogates
// that way, one character each.
inline std::size_t Utf8MultiByteLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned char low = 0x80;   // the range of the byte after the lead, which rules out
  unsigned char high = 0xBF;  // overlong forms and values past U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  if (text.size() - at < length) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[at + i]);
    if (c < low || c > high) return 1;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

// The number of bytes of the character that starts at text[at], which must exist.
inline std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) < 0x80 ? 1 : Utf8MultiByteLength(text, at);
}

// True when text is UTF-8 throughout: no byte from 128 up stands alone.
inline bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (static_cast<unsigned char>(text[at]) < 0x80) continue;
    const std::size_t length = Utf8MultiByteLength(text, at);
    if (length == 1) return false;
    at += length - 1;
  }
  return true;
}

}  // namespace zovu
