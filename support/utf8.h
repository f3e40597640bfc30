#pragma once

#include <cstddef>
#include <string_view>

namespace zovu {

// Whether a three-byte sequence that encodes a surrogate (ED A0..BF) is a character.
// Windows names carry unpaired surrogates that way, one character each, so names are
// matched and converted taking them as characters; text that must be well-formed UTF-8
// (a terminal shows it, a key is cut from it) takes them as bytes that form none.
enum class Surrogates { kCharacters, kMalformed };

// The number of bytes of the sequence that a lead byte begins: 1 for ASCII, 2 to 4 for
// a multi-byte lead, 0 for a byte that begins none (a continuation byte, C0, C1, F5..FF).
constexpr std::size_t Utf8LeadLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  if (byte < 0x80) return 1;
  if (byte >= 0xC2 && byte <= 0xDF) return 2;
  if (byte >= 0xE0 && byte <= 0xEF) return 3;
  if (byte >= 0xF0 && byte <= 0xF4) return 4;
  return 0;
}

constexpr bool IsUtf8Continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The number of bytes of the character that starts at text[at], which must exist; 0 when
// the byte there starts none: a stray continuation byte, an overlong or cut sequence, a
// value past U+10FFFF, or an encoded surrogate that the caller takes as malformed.
constexpr std::size_t Utf8SequenceLength(std::string_view text, std::size_t at,
                                         Surrogates surrogates) {
  const std::size_t length = Utf8LeadLength(text[at]);
  if (length <= 1) return length;
  if (text.size() - at < length) return 0;
  // The range of the byte after the lead, which rules out overlong forms, values past
  // U+10FFFF and, when asked, surrogates.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  switch (static_cast<unsigned char>(text[at])) {
    case 0xE0:
      low = 0xA0;
      break;
    case 0xED:
      if (surrogates == Surrogates::kMalformed) high = 0x9F;
      break;
    case 0xF0:
      low = 0x90;
      break;
    case 0xF4:
      high = 0x8F;
      break;
    default:
      break;
  }
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[at + k]);
    if (c < low || c > high) return 0;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

// As Utf8SequenceLength, but a byte that starts no character is one by itself.
constexpr std::size_t Utf8CharLength(std::string_view text, std::size_t at, Surrogates surrogates) {
  const std::size_t length = Utf8SequenceLength(text, at, surrogates);
  return length == 0 ? 1 : length;
}

struct Utf8Char {
  char32_t value;      // the code point; the byte itself when length is 0
  std::size_t length;  // bytes, as Utf8SequenceLength gives them
};

// The character that starts at text[at], which must exist.
constexpr Utf8Char DecodeUtf8(std::string_view text, std::size_t at, Surrogates surrogates) {
  const std::size_t length = Utf8SequenceLength(text, at, surrogates);
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length <= 1) return {lead, length};
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (text[at + k] & 0x3F);
  return {value, length};
}

// True when every byte of text belongs to a character.
bool IsValidUtf8(std::string_view text, Surrogates surrogates);

// The number of characters in text, a byte that starts none counting as one.
std::size_t Utf8Characters(std::string_view text, Surrogates surrogates);

// The number of bytes taken by the first `characters` characters of text, counted as
// Utf8Characters counts them (all of it when it has fewer).
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters, Surrogates surrogates);

}  // namespace zovu
