#include "tally/extension_tally.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "search/path_rules.h"
#include "support/ascii.h"
#include "tally/tally_key.h"
#include "unit/tally_rig.h"

namespace zovu::testing {
namespace {

TEST(TallyFoundFile, KeysFromNames) {
  struct Case {
    std::vector<std::string> names;
    Entries expected;
  };
  const Case cases[] = {
      {{"archive.tar.gz"}, {{"GZ", 1}}},
      {{".profile"}, {{"PRO", 1}}},
      {{"README", "notes."}, {{"", 2}}},
      {{"index.html", "INDEX.HTM"}, {{"HTM", 2}}},
      {{"photo.jpeg"}, {{"JPE", 1}}},
      {{"a.txt", "b.TXT", "c.Txt"}, {{"TXT", 3}}},
      // The empty key comes first whenever it is found.
      {{"z.zip", "Makefile", "a.a"}, {{"", 1}, {"A", 1}, {"ZIP", 1}}},
      // Digits before capitals; "_" and "~" after them.
      {{"x.~1~", "x._x", "x.ZZ", "x.7z"}, {{"7Z", 1}, {"ZZ", 1}, {"_X", 1}, {"~1~", 1}}},
  };
  for (const Case& c : cases) {
    TallyRig rig(false);
    rig.FoundAll(c.names);
    EXPECT_EQ(EntriesOf(rig), c.expected) << c.names.front();
    EXPECT_EQ(rig.MatchCount(), static_cast<std::int64_t>(c.names.size()));
  }
}

TEST(TallyFoundFile, OrderDoesNotDependOnTheOrderFilesAreFound) {
  std::vector<std::string> names = {"a.txt", "b.c", "README", "d.cpp", "e.c"};
  const Entries expected = {{"", 1}, {"C", 2}, {"CPP", 1}, {"TXT", 1}};
  std::sort(names.begin(), names.end());
  do {
    TallyRig rig(false);
    rig.FoundAll(names);
    ASSERT_EQ(EntriesOf(rig), expected) << names[0] << " " << names[1] << " " << names[2];
  } while (std::next_permutation(names.begin(), names.end()));
}

TEST(TallyFoundFile, BytesFrom128KeepTheirValueAndSortAfterAscii) {
  // Latin-1 bytes, not UTF-8: "\xE9" and "\xC9" are a lower and an upper e acute.
  TallyRig rig(false);
  rig.FoundAll({"x.\xE9t", "y.\xC9t", "z.~~~", "w.\xE9T", "v.zz"});
  EXPECT_EQ(EntriesOf(rig), (Entries{{"ZZ", 1}, {"~~~", 1}, {"\xC9T", 1}, {"\xE9T", 2}}));
}

TEST(TallyFoundFile, Utf8KeysAreCutAfterThreeCharacters) {
  TallyRig rig(false);
  rig.FoundAll({"документ.док", "письмо.ДОКУМЕНТ", "отчёт.докx", "a.日本語テキスト", "b.é1x9",
                "c.\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80"});
  EXPECT_EQ(EntriesOf(rig), (Entries{{"é1X", 1},
                                     {"ДОК", 1},
                                     {"док", 2},
                                     {"日本語", 1},
                                     {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 1}}));
}

TEST(TallyFoundFile, InvalidUtf8IsCutByBytes) {
  TallyRig rig(false);
  rig.FoundAll({
      "a.\xD0\xB4\xFF",                  // a stray byte after one character
      "b.\xD0\xB4\xD0",                  // a character cut short
      "c.ab\xC3",                        // ASCII then a lead byte with nothing after it
      "d.\xD0\xB4\xD0\xBE\xD0\xBA\xFF",  // three good characters, then a bad byte
      "e.\xC0\xAFxy",                    // an overlong slash
  });
  EXPECT_EQ(EntriesOf(rig),
            (Entries{{"AB\xC3", 1}, {"\xC0\xAFX", 1}, {"\xD0\xB4\xD0", 2}, {"\xD0\xB4\xFF", 1}}));
}

TEST(TallyFoundFile, DirectoriesAreNotTallied) {
  TallyRig rig(true);
  EXPECT_TRUE(rig.Found("src.d", 4096, kAttrDirectory));
  EXPECT_TRUE(rig.Found("docs", 0, kAttrDirectory | kAttrHidden));
  EXPECT_EQ(rig.MatchCount(), 0);
  EXPECT_TRUE(rig.Rows().empty());
  EXPECT_TRUE(rig.Found("a.c", 10, kAttrReadOnly));
  EXPECT_EQ(EntriesOf(rig), (Entries{{"C", 10}}));
}

TEST(TallyFoundFile, SizeModeTotalsSizesCountModeCountsFiles) {
  TallyRig rig(true);
  EXPECT_TRUE(rig.Found("a.c", 700));
  EXPECT_TRUE(rig.Found("empty.txt", 0));
  EXPECT_TRUE(rig.Found("b.C", 300));
  EXPECT_EQ(EntriesOf(rig), (Entries{{"C", 1000}, {"TXT", 0}}));
  EXPECT_EQ(rig.MatchCount(), 3);
  // Past what 32 bits hold.
  rig.Found("big.c", std::int64_t{3} << 31);
  EXPECT_EQ(EntriesOf(rig), (Entries{{"C", 1000 + (std::int64_t{3} << 31)}, {"TXT", 0}}));

  TallyRig counting(false);
  counting.Found("a.c", 700);
  counting.Found("b.c", 0);
  EXPECT_EQ(EntriesOf(counting), (Entries{{"C", 2}}));
}

TEST(TallyFoundFile, ExtensionIsThatOfSplitPath) {
  const std::vector<std::string> names = {"a.b\\c",    "a.b/c", "dir\\x.txt", "d.d:e",
                                          "x:\\y.z.c", "p/q.",  "plain.cpp",  "noext"};
  for (const PathStyle style : {PathStyle::kPosix, PathStyle::kWindows}) {
    for (const std::string& name : names) {
      TallyRig rig(false, style);
      rig.Found(name);
      std::string ext = SplitPath(style, name).ext;
      if (!ext.empty()) ext.erase(0, 1);
      const TallyRows rows = rig.Rows();
      ASSERT_EQ(rows.size(), 1u) << name;
      EXPECT_EQ(rows.front().key, MakeTallyKey(ext)) << name;
    }
  }
}

TEST(ExtensionTally, ThousandsOfKeysStaySortedAndUnique) {
  // Every text of up to three characters over a set that has digits, both cases,
  // punctuation and bytes from 128 up: over 14000 texts and, after folding, 8000 keys.
  const std::string alphabet =
      "0129ABCMXYZ_`{~\x7F\x80\xC9\xE9\xFF"
      "abmz";
  std::vector<std::string> texts = {""};
  for (std::size_t first = 0; first < texts.size() && texts[first].size() < 3; ++first) {
    for (const char c : alphabet) texts.push_back(texts[first] + c);
  }
  std::vector<std::string> found;
  std::map<std::string, std::int64_t> expected;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto times = static_cast<std::int64_t>(i % 3 + 1);
    found.insert(found.end(), static_cast<std::size_t>(times), texts[i]);
    std::string key = texts[i];
    AsciiUpper(key);
    expected[key] += times;
  }
  std::shuffle(found.begin(), found.end(), std::mt19937(12345));

  // Counted in two tallies and merged, as the walking threads' tallies are.
  ExtensionTally tally;
  ExtensionTally other;
  for (std::size_t i = 0; i < found.size(); ++i) (i % 2 ? other : tally).AddToTally(found[i], 0);
  tally.Merge(other);
  ASSERT_GT(expected.size(), 8000u);
  EXPECT_EQ(EntriesOf(tally, false), Entries(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace zovu::testing
