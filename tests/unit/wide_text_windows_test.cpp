#include <gtest/gtest.h>

#include <string>

#include "platform/windows/wide_text.h"

namespace zovu {
namespace {

struct Pair {
  std::string utf8;
  std::wstring wide;
};

TEST(WideText, ConvertsBothWaysWithoutLoss) {
  const Pair pairs[] = {
      {"", L""},
      {"plain.txt", L"plain.txt"},
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       L"Gr\u00FC\u00DFe"},
      {"\xE2\x82\xAC 100", L"\u20AC 100"},
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", L"\u65E5\u672C.txt"},
      {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},  // outside the 16-bit range: a surrogate pair
      // Unpaired surrogates, which names on Windows may hold.
      {"a\xED\xA0\x80"
       "b",
       L"a\xD800"
       L"b"},
      {"\xED\xB0\x80", L"\xDC00"},
      {"\xED\xB0\x80\xED\xA0\x80", L"\xDC00\xD800"},  // low before high is no pair
  };
  for (const Pair& pair : pairs) {
    EXPECT_EQ(WideFromUtf8(pair.utf8), pair.wide) << pair.utf8;
    EXPECT_EQ(Utf8FromWide(pair.wide), pair.utf8) << pair.utf8;
  }
}

TEST(WideText, BytesThatFormNoCharacterBecomeReplacementCharacters) {
  const Pair cases[] = {
      {"\xFF", L"\uFFFD"},
      {"a\xC3", L"a\uFFFD"},                             // cut short at the end
      {"\xC3(", L"\uFFFD("},                             // cut short by a plain byte
      {"\xE2\x82(", L"\uFFFD\uFFFD("},                   // a byte each, as everywhere
      {"\xC0\xAF", L"\uFFFD\uFFFD"},                     // overlong "/"
      {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},           // overlong "/"
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}  // past U+10FFFF
  };
  for (const Pair& c : cases) EXPECT_EQ(WideFromUtf8(c.utf8), c.wide) << c.utf8;
}

TEST(WideText, FindsTheStartOfACharacterCutShortAtTheEnd) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"", 0},         {"abc", 0},          {"a\xC3", 1},
      {"\xE2\x82", 2}, {"\xE2\x82\xAC", 0}, {"\xF0\x9F\x98", 3},
      {"x\xF0", 1},    {"\x80", 0},         {"\xFF", 0},
  };
  for (const auto& [text, tail] : cases) EXPECT_EQ(IncompleteUtf8Tail(text), tail) << text;
}

}  // namespace
}  // namespace zovu
