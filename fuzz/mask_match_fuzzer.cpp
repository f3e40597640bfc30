// Mask matching over random names and mask lists.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "search/mask_match.h"

namespace {

using zovu::MatchMask;
using zovu::MatchMaskList;

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
  }
  return 0;
}
