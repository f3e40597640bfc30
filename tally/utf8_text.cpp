#include "tally/utf8_text.h"

#include <cstdint>

namespace zovu {
namespace {

bool IsContinuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the sequence that lead starts; 0 for a byte that cannot start one.
std::size_t SequenceLength(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
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
  const std::size_t length = SequenceLength(lead);
  if (length == 0 || text.size() - at < length) return 0;
  if (length == 1) {
    c = lead;
    return 1;
  }
  // The second byte's range rules out overlong forms, surrogates and values past
  // U+10FFFF; the later bytes only need to be continuation bytes.
  const auto second = static_cast<std::uint8_t>(text[at + 1]);
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (second < low || second > high) return 0;
  c = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<std::uint8_t>(text[at + k]);
    if (!IsContinuation(byte)) return 0;
    c = (c << 6) | (byte & 0x3F);
  }
  return length;
}

std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters) {
  std::size_t bytes = 0;
  for (std::size_t n = 0; n < characters && bytes < text.size(); ++n) {
    bytes += SequenceLength(static_cast<std::uint8_t>(text[bytes]));
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
