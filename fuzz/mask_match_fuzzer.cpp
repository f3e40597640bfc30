// Mask matching over random names and mask lists.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "search/mask_match.h"

namespace {

bool MatchMaskList(std::string_view name, std::string_view list) {
  return zovu::MaskList(list).Matches(name);
}

// One mask, which holds no "," or ";".
bool MatchMask(std::string_view name, std::string_view mask) {
  return MatchMaskList(name, mask);
}

// Swaps the case of every ASCII letter; every other byte stays.
std::string SwapAsciiCase(std::string_view text) {
  std::string swapped(text);
  for (char& c : swapped) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return swapped;
}

// The list's verdict worked out mask by mask: everything from the first ";" on is
// ignored, and the list matches when one of its comma-separated masks does.
bool AnyMaskMatches(std::string_view name, std::string_view list) {
  list = list.substr(0, list.find(';'));
  for (;;) {
    const std::size_t comma = list.find(',');
    if (MatchMask(name, list.substr(0, comma))) return true;
    if (comma == std::string_view::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

// A name that holds no pattern characters, read as a mask, names exactly itself.
bool UsableAsOwnMask(std::string_view name) {
  return !name.empty() && name.front() != '.' &&
         name.find_first_of("*?,;") == std::string_view::npos;
}

// The byte lengths of the characters of text, worked out apart from the matcher: a
// sequence is one character when decoding it and encoding the value again gives the
// same bytes (no overlong form) and the value is at most U+10FFFF; any other byte
// from 128 up is a character by itself.
std::vector<std::size_t> CharacterLengths(std::string_view text) {
  std::vector<std::size_t> lengths;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    const std::size_t wanted = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (wanted > 1 && lead < 0xF8 && at + wanted <= text.size()) {
      char32_t value = lead & (0x7F >> wanted);
      bool continued = true;
      for (std::size_t i = 1; i < wanted; ++i) {
        const auto c = static_cast<unsigned char>(text[at + i]);
        continued = continued && (c & 0xC0) == 0x80;
        value = (value << 6) | (c & 0x3F);
      }
      const std::size_t shortest = value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
      if (continued && shortest == wanted && value <= 0x10FFFF) length = wanted;
    }
    lengths.push_back(length);
    at += length;
  }
  return lengths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string name = input.ConsumeRandomLengthString(300);
  const std::string list = input.ConsumeRemainingBytesAsString();

  const bool matched = MatchMaskList(name, list);
  ZOVU_FUZZ_CHECK(matched == AnyMaskMatches(name, list));
  // ASCII letters compare without regard to case, on either side.
  ZOVU_FUZZ_CHECK(MatchMaskList(SwapAsciiCase(name), list) == matched);
  ZOVU_FUZZ_CHECK(MatchMaskList(name, SwapAsciiCase(list)) == matched);
  // Everything after the first ";" is a tail that plays no part.
  if (list.find(';') == std::string::npos) {
    ZOVU_FUZZ_CHECK(MatchMaskList(name, list + ";" + name) == matched);
  }
  // "*.*" and "*" select every name; empty masks select none.
  ZOVU_FUZZ_CHECK(MatchMaskList(name, "*.*"));
  ZOVU_FUZZ_CHECK(MatchMaskList(name, "*"));
  ZOVU_FUZZ_CHECK(!MatchMaskList(name, ""));
  ZOVU_FUZZ_CHECK(!MatchMaskList(name, ",;*.*"));

  if (UsableAsOwnMask(name)) {
    ZOVU_FUZZ_CHECK(MatchMask(name, name));
    ZOVU_FUZZ_CHECK(MatchMask(name, SwapAsciiCase(name)));
    // Bytes from 128 up must be equal: changing one, even to its Latin-1 other case,
    // loses the match.
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (static_cast<unsigned char>(name[i]) < 128) continue;
      std::string mask = name;
      mask[i] = static_cast<char>(mask[i] ^ 0x20);
      ZOVU_FUZZ_CHECK(!MatchMask(name, mask));
      ZOVU_FUZZ_CHECK(!MatchMask(mask, name));
    }
    // "?" stands for exactly one character, however many bytes it has: in place of any
    // character but a dot it keeps the match, two of them lose it, and so does one "?"
    // per byte of a character of several.
    std::size_t at = 0;
    for (const std::size_t length : CharacterLengths(name)) {
      if (name[at] != '.') {
        const std::string before = name.substr(0, at);
        const std::string after = name.substr(at + length);
        ZOVU_FUZZ_CHECK(MatchMask(name, before + "?" + after));
        ZOVU_FUZZ_CHECK(!MatchMask(name, before + "??" + after));
        if (length > 1)
          ZOVU_FUZZ_CHECK(!MatchMask(name, before + std::string(length, '?') + after));
      }
      at += length;
    }
  }
  return 0;
}
