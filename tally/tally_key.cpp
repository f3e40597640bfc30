#include "tally/tally_key.h"

#include <algorithm>
#include <cstring>

#include "support/ascii.h"
#include "support/utf8.h"

namespace zovu {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The final mixing step of a well-known 64-bit hash, spreading every input bit.
std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDULL;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ULL;
  x ^= x >> 33;
  return x;
}

}  // namespace

TallyKey MakeTallyKey(std::string_view text) {
  std::size_t cut = std::min(text.size(), kTallyKeyCharacters);
  // Where the first three bytes are ASCII, cutting by bytes and by characters agree;
  // only otherwise does the whole text need checking.
  if (!IsAscii(text.substr(0, cut)) && IsValidUtf8(text, Surrogates::kMalformed)) {
    cut = Utf8PrefixBytes(text, kTallyKeyCharacters, Surrogates::kMalformed);
  }
  TallyKey key;
  // Copying and folding in one pass over at most twelve bytes.
  for (std::size_t i = 0; i < cut; ++i) key.bytes[i] = AsciiUpper(text[i]);
  key.length = static_cast<std::uint8_t>(cut);
  return key;
}

bool KeyLess(std::string_view a, std::string_view b) {
  // The character traits of char compare as unsigned bytes, a prefix first.
  return a.compare(b) < 0;
}

std::uint64_t KeyHash(const TallyKey& key) {
  std::uint64_t low = 0;
  std::uint32_t high = 0;
  std::memcpy(&low, key.bytes.data(), sizeof low);
  std::memcpy(&high, key.bytes.data() + sizeof low, sizeof high);
  return Mix(low ^ Mix((static_cast<std::uint64_t>(key.length) << 32) | high));
}

}  // namespace zovu
