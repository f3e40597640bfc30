#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/key_decoder.h"
#include "search/file_search.h"

namespace zovu {
namespace {

using namespace std::string_literals;

std::vector<int> Decode(const std::vector<std::string>& reads) {
  KeyDecoder decoder;
  for (const std::string& bytes : reads) decoder.Feed(bytes);
  std::vector<int> codes;
  while (!decoder.Empty()) codes.push_back(decoder.Next());
  return codes;
}

TEST(KeyDecoder, SplitsOneReadIntoKeyCodes) {
  const struct {
    std::string bytes;
    std::vector<int> codes;
  } cases[] = {
      {"\x1b", {27}},
      {"a", {'a'}},
      {"ab\r", {'a', 'b', '\r'}},
      {"\x1b\x1b", {27, 27}},
      {"\x1b[A", {0, 'A'}},
      {"\x1b[D\x1b[C", {0, 'D', 0, 'C'}},
      {"\x1bOP", {0, 'P'}},
      {"\x1bOA\x1b", {0, 'A', 27}},
      {"\x1b[15~", {0, '~'}},
      {"\x1b[1;5C", {0, 'C'}},
      {"\x1b[ @", {0, '@'}},  // an intermediate byte before the final one
      {"\x1b[A\x1b", {0, 'A', 27}},
      {"x\x1b", {'x', 27}},
      {"\x1bx", {27, 'x'}},  // only "[" and "O" begin a sequence
      // Cut short by the end of the read: still one key, with its last byte.
      {"\x1b[", {0, '['}},
      {"\x1b[1;5", {0, '5'}},
      {"\x1bO", {0, 'O'}},
      // Cut short by a byte that cannot belong to a sequence, which is a key of its own.
      {"\x1b[1\x1b", {0, '1', 27}},
      {"\x1bO\x1b[B", {0, 'O', 0, 'B'}},
      {"\x1b[\r", {0, '[', '\r'}},
      {"\x1bO\x7f", {0, 'O', 0x7f}},
      // NUL and bytes from 128 up.
      {"\0"s, {0, 0}},
      {"\0\x1b"s, {0, 0, 27}},
      {"\xc3\xa9", {0xc3, 0xa9}},
      {"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Decode({c.bytes}), c.codes) << testing::PrintToString(c.bytes);
}

TEST(KeyDecoder, EachReadIsDecodedOnItsOwn) {
  // An ESC that ends one read is ESC even if "[A" comes with the next.
  EXPECT_EQ(Decode({"\x1b", "[A"}), (std::vector<int>{27, '[', 'A'}));
  EXPECT_EQ(Decode({"\x1b[", "A"}), (std::vector<int>{0, '[', 'A'}));
  EXPECT_EQ(Decode({"a", "\x1b[B", "\x1b"}), (std::vector<int>{'a', 0, 'B', 27}));
}

// A keyboard whose keys all arrived in one read.
class DecodedKeyboard final : public Keyboard {
 public:
  explicit DecodedKeyboard(std::string_view bytes) { keys_.Feed(bytes); }
  bool KeyWaiting() override { return !keys_.Empty(); }
  int ReadKey() override { return keys_.Next(); }

 private:
  KeyDecoder keys_;
};

TEST(EscPressed, TakesOneDecodedKeyPerCall) {
  const struct {
    std::string bytes;
    std::vector<bool> answers;  // one per call, until no key is left
  } cases[] = {
      {"\x1b", {true}},    {"\x1b[A", {false}},        {"\x1b[1;5C\x1b", {false, true}},
      {"\x1bOP", {false}}, {"q\x1b", {false, true}},   {"\x1b\x1b", {true, true}},
      {"\x1b[", {false}},  {"\0\x1b"s, {false, true}}, {"\xc3\xa9\x1b", {false, false, true}},
  };
  for (const auto& c : cases) {
    DecodedKeyboard keyboard(c.bytes);
    std::vector<bool> answers;
    while (keyboard.KeyWaiting() && answers.size() < 10) answers.push_back(EscPressed(keyboard));
    EXPECT_EQ(answers, c.answers) << testing::PrintToString(c.bytes);
    EXPECT_FALSE(EscPressed(keyboard));
  }
}

}  // namespace
}  // namespace zovu
