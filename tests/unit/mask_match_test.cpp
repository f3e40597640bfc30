#include "search/mask_match.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zovu {
namespace {

struct MaskCase {
  std::string_view name;
  std::string_view masks;
  bool selected;
};

TEST(MaskList, SelectsExactlyTheNamesTheMasksDescribe) {
  const MaskCase cases[] = {
      // Base and extension are compared separately.
      {"Unit1.PAS", "*.pas", true},
      {"README", "*.*", true},
      {"README", "*.", true},
      {"notes.txt", "*.", false},
      {"a.tar.gz", "*.gz", true},
      {"ab.c", "a?.c", true},
      {"a.c", "a?.c", false},
      {"abc.c", "a*x.c", true},
      {".profile", "*.*", true},
      // A mask without a dot reads as "mask.*".
      {"PAS", "pas", true},
      {"pas.txt", "pas", true},
      {"Pas.Old", "pas", true},
      {"pasta.txt", "pas", false},
      {"x.c", "*", true},
      {"readme2.txt", "readme.*", false},
      // A mask that starts with its dot reads as "*.ext".
      {"x.PAS", ".pas", true},
      {"x.inc", ".pas", false},
      {"x.inc", "*.pas,.inc", true},
      {"x.pas", "*.pas,.inc", true},
      {"x.c", "*.pas,.inc", false},
      {"x.c", ".*", true},
      // Characters after a "*" within a part are ignored.
      {"Axyz.c", "A*B.c", true},
      {"AxyzQ", "A*B", true},
      {"x.cpp", "*.c*h", true},
      // "?" takes exactly one character.
      {"a", "a?", false},
      {"x.c", "*.?", true},
      {"x.cc", "*.?", false},
      {"x", "*.?", false},
      // "*" as the extension accepts an empty one; "." as the extension demands it.
      {"Makefile", "*.*", true},
      {"Makefile", "*.", true},
      {".profile", "*.", false},
      {"x.", "*.", true},
      // Bases may hold dots: the mask splits at its last one too.
      {"a.b.c", "a.b.*", true},
      {"a.c", "a.b.*", false},
      // Empty masks select nothing and harm nothing.
      {"x.c", "*.c,", true},
      {"x.h", "*.c,,*.h", true},
      {"x.h", "*.c,", false},
      {"x.c", ",", false},
      {"x.c", "", false},
      // Everything from the first ";" on is not a mask, commas included.
      {"x.c", "*.c;old", true},
      {"x.old", "*.c;*.old", false},
      {"x.h", "*.c;x,*.h", false},
      {"x.c", ";*.c", false},
      // ".." reads as "*..": names without an extension.
      {"Makefile", "..,*.c", true},
      {"x.c", "..,*.c", true},
      {"x.h", "..,*.c", false},
      // Only ASCII letters ignore case; other bytes must be equal.
      {"X.C", "x.c", true},
      {"\xE9t\xE9.txt", "\xE9T\xE9.TXT", true},
      {"\xE9t\xE9.txt", "\xC9t\xC9.txt", false},
      {"[a].c", "[A].C", true},
      {"@.c", "`.c", false},
      {"\xC3\xA4.c", "\xC3\x84.c", false},
      {"\xC3\x84rger.TXT", "\xC3\x84R?ER.txt", true},
      // "?" takes one UTF-8 character of two, three or four bytes.
      {"\xC3\x84rger.txt", "?rger.txt", true},
      {"\xC3\x84rger.txt", "??rger.txt", false},
      {"x.\xC3\xA9s", "*.?S", true},
      {"y.\xC3\x89S", "*.?S", true},
      {"x.\xC3\xA9s", "*.??S", false},
      {"\xE2\x82\xAC.txt", "?.txt", true},
      {"\xF0\x9F\x98\x80\xE2\x82\xAC.txt", "??.txt", true},
      {"\xF0\x9F\x98\x80.txt", "??.txt", false},
      // A byte that starts no character is one by itself: a Latin-1 byte, a lead byte
      // without its continuation, an overlong form, a cut sequence.
      {"\xE9t\xE9.txt", "?t?.txt", true},
      {"\xC3(.c", "??.c", true},
      {"\xC3(.c", "?.c", false},
      {"\xC0\xAF.c", "??.c", true},
      {"\xE2\x82.c", "??.c", true},
      {"\xE2\x82.c", "\xE2?.c", true},
      // An encoded unpaired surrogate, as Windows names carry one, is one character.
      {"\xED\xA0\x80.c", "?.c", true},
  };
  for (const MaskCase& c : cases) {
    EXPECT_EQ(MaskList(c.masks).Matches(c.name), c.selected)
        << "name '" << c.name << "' masks '" << c.masks << "'";
  }
}

TEST(WildMatch, ComparesOnePart) {
  struct Case {
    std::string_view text;
    std::string_view pattern;
    bool matches;
  };
  const Case cases[] = {
      {"", "", true},       {"", "*", true},      {"", "?", false},     {"abc", "", false},
      {"ABC", "abc", true}, {"ab", "abc", false}, {"abc", "ab", false}, {"abc", "ab*", true},
      {"ab", "ab*", true},  {"ab", "ab**", true}, {"a", "a*x", true},   {"ab", "a?*", true},
      {"a", "a?*", false},  {"a", "?", true},     {"ab", "?", false},   {"b", "a*", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildMatch(c.text, c.pattern), c.matches)
        << "text '" << c.text << "' pattern '" << c.pattern << "'";
  }
}

}  // namespace
}  // namespace zovu

namespace zovu {
namespace {

TEST(MaskList, SelectsEveryNameAgreesWithMatchingEachName) {
  const std::pair<const char*, bool> lists[] = {
      {"*.*", true},   {"*", true},     {".*", true},     {"**.*", true},  {"*x.*y", true},
      {"a,*.*", true}, {"*.*;x", true}, {"x;*.*", false}, {"*.c", false},  {"*.", false},
      {"", false},     {",,", false},   {"*.?", false},   {"?*.*", false}, {"a*.*", false},
  };
  const char* names[] = {
      "README", "a.c", ".profile", "notes.", "x.tar.gz", "", "Z.*", "..", "\xC3\xA9t\xC3\xA9.TXT"};
  for (const auto& [list, every] : lists) {
    const MaskList masks(list);
    EXPECT_EQ(masks.SelectsEveryName(), every) << list;
    if (!every) continue;
    for (const char* name : names) EXPECT_TRUE(masks.Matches(name)) << list << " " << name;
  }
}

}  // namespace
}  // namespace zovu
