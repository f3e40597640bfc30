#include "support/utf8.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zovu {
namespace {

constexpr auto kCharacters = Surrogates::kCharacters;
constexpr auto kMalformed = Surrogates::kMalformed;

TEST(DecodeUtf8, TakesWellFormedCharactersAndNothingElse) {
  const struct {
    std::string_view text;
    Surrogates surrogates;
    char32_t value;  // the byte itself where length is 0
    std::size_t length;
  } cases[] = {
      {"A", kMalformed, U'A', 1},
      {"\xC3\xA9", kMalformed, 0xE9, 2},
      {"\xE2\x82\xAC", kMalformed, 0x20AC, 3},
      {"\xF0\x9F\x98\x80", kMalformed, 0x1F600, 4},
      {"\xF4\x8F\xBF\xBF", kMalformed, 0x10FFFF, 4},
      {"\xED\x9F\xBF", kMalformed, 0xD7FF, 3},  // the last before the surrogates
      {"\x80", kCharacters, 0x80, 0},           // a stray continuation byte
      {"\xC0\xAF", kCharacters, 0xC0, 0},       // overlong "/"
      {"\xE0\x80\xAF", kCharacters, 0xE0, 0},
      {"\xF0\x8F\xBF\xBF", kCharacters, 0xF0, 0},
      {"\xE2\x82", kCharacters, 0xE2, 0},          // cut short at the end
      {"\xE2\x82(", kCharacters, 0xE2, 0},         // cut short by a plain byte
      {"\xF4\x90\x80\x80", kCharacters, 0xF4, 0},  // past U+10FFFF
      {"\xF5\x80\x80\x80", kCharacters, 0xF5, 0},
      {"\xED\xA0\x80", kCharacters, 0xD800, 3},  // an encoded surrogate, as callers choose
      {"\xED\xBF\xBF", kCharacters, 0xDFFF, 3},
      {"\xED\xA0\x80", kMalformed, 0xED, 0},
  };
  for (const auto& c : cases) {
    const Utf8Char decoded = DecodeUtf8(c.text, 0, c.surrogates);
    EXPECT_EQ(decoded.length, c.length) << ::testing::PrintToString(std::string(c.text));
    EXPECT_EQ(decoded.value, c.value) << ::testing::PrintToString(std::string(c.text));
    EXPECT_EQ(IsValidUtf8(c.text, c.surrogates), c.length == c.text.size());
  }
}

TEST(Utf8Characters, CountsAByteThatStartsNoneAsOneCharacter) {
  // "a", a surrogate, "é", a stray byte: seven bytes.
  constexpr std::string_view text = "a\xED\xA0\x80\xC3\xA9\xFF";
  EXPECT_EQ(Utf8Characters(text, kCharacters), 4u);
  EXPECT_EQ(Utf8Characters(text, kMalformed), 6u);
  EXPECT_EQ(Utf8PrefixBytes(text, 2, kCharacters), 4u);
  EXPECT_EQ(Utf8PrefixBytes(text, 2, kMalformed), 2u);
  EXPECT_EQ(Utf8PrefixBytes(text, 9, kCharacters), text.size());
}

}  // namespace
}  // namespace zovu
