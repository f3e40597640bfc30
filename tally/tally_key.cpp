#include "tally/tally_key.h"

#include <algorithm>

#include "support/ascii.h"
#include "support/utf8.h"

namespace zovu {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The bytes of text that its first three characters take.
std::size_t ThreeCharacterBytes(std::string_view text) {
  const std::size_t cut = std::min(text.size(), kTallyKeyCharacters);
  // Where the first three bytes are ASCII, cutting by bytes and by characters agree;
  // only otherwise does the whole text need checking.
  if (!IsAscii(text.substr(0, cut)) && IsValidUtf8(text, Surrogates::kMalformed)) {
    return Utf8PrefixBytes(text, kTallyKeyCharacters, Surrogates::kMalformed);
  }
  return cut;
}

}  // namespace

std::string MakeTallyKey(std::string_view text, KeyRule rule) {
  if (rule == KeyRule::kThreeCharacters) text = text.substr(0, ThreeCharacterBytes(text));
  std::string key(text);
  AsciiUpper(key);
  return key;
}

}  // namespace zovu
