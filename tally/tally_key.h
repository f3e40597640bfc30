#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zovu {

// A key is at most three characters; in UTF-8 that is at most twelve bytes.
inline constexpr std::size_t kTallyKeyCharacters = 3;
inline constexpr std::size_t kTallyKeyMaxBytes = 4 * kTallyKeyCharacters;

// An extension key held in place, so that making and comparing keys costs no allocation.
// Bytes past the length are always zero.
struct TallyKey {
  std::array<char, kTallyKeyMaxBytes> bytes{};
  std::uint8_t length = 0;

  std::string_view View() const { return {bytes.data(), length}; }
  friend bool operator==(const TallyKey& a, const TallyKey& b) {
    // The bytes past the length are zero, so whole arrays compare, with a fixed size.
    return a.length == b.length &&
           std::memcmp(a.bytes.data(), b.bytes.data(), kTallyKeyMaxBytes) == 0;
  }
};

// The key of an extension text (without its dot): its first three characters, upper-cased
// by the ASCII rule. Characters are UTF-8 characters when the text is well-formed UTF-8,
// so a multi-byte character is never split, and bytes otherwise.
TallyKey MakeTallyKey(std::string_view text);

// Key order: byte by byte as unsigned values, a prefix before the longer key.
bool KeyLess(std::string_view a, std::string_view b);

std::uint64_t KeyHash(const TallyKey& key);

}  // namespace zovu
