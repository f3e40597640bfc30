#include "tally/utf8_text.h"

#include <cstdint>

#include "platform/utf8_char.h"

namespace zovu {
namespace {

bool IsContinuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  char32_t c;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8CharacterAt(text, i, c);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::size_t Utf8CharacterAt(std::string_view text, std::size_t at, char32_t& c) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  // A byte that is a character by itself starts no well-formed one, and neither does an
  // encoded surrogate (ED A0..BF).
  const std::size_t length = Utf8MultiByteLength(text, at);
  if (length == 1 || (lead == 0xED && static_cast<std::uint8_t>(text[at + 1]) > 0x9F)) return 0;
  c = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (text[at + k] & 0x3F);
  return length;
}

std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters) {
  std::size_t bytes = 0;
  for (std::size_t n = 0; n < characters && bytes < text.size(); ++n) {
    bytes += Utf8CharLength(text, bytes);
  }
  return bytes < text.size() ? bytes : text.size();
}

std::size_t Utf8Characters(std::string_view text) {
  std::size_t characters = 0;
  for (const char c : text) {
    if (!IsContinuation(static_cast<std::uint8_t>(c))) ++characters;
  }
  return characters;
}

}  // namespace zovu
