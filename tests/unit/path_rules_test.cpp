#include "search/path_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zovu {
namespace {

constexpr PathStyle kWin = PathStyle::kWindows;
constexpr PathStyle kPosix = PathStyle::kPosix;

struct TextCase {
  PathStyle style;
  std::string_view in;
  std::string_view out;
};

TEST(PathRules, StripTrailingBackslashesKeepsRoots) {
  const TextCase cases[] = {
      {kWin, "C:\\", "C:\\"},     {kWin, "C:\\DIR\\\\", "C:\\DIR"},
      {kWin, "\\", "\\"},         {kWin, "\\\\SRV\\SHARE\\", "\\\\SRV\\SHARE"},
      {kWin, "C:", "C:"},         {kWin, "", ""},
      {kWin, "1:\\\\", "1:"},     {kWin, "a/", "a/"},
      {kPosix, "/", "/"},         {kPosix, "//", "/"},
      {kPosix, "/a/b//", "/a/b"}, {kPosix, "a\\", "a\\"},
      {kPosix, "C:\\", "C:\\"},   {kPosix, "C:/", "C:"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(StripTrailingBackslashes(c.style, c.in), c.out) << "'" << c.in << "'";
  }
}

TEST(PathRules, AddTrailingBackslashWhereADirectoryNeedsIt) {
  const TextCase cases[] = {
      {kWin, "C:", "C:"},   {kWin, "C:\\", "C:\\"},     {kWin, "\\", "\\"},
      {kWin, "abc", "abc"}, {kWin, "C:\\D", "C:\\D\\"}, {kWin, "C:\\D\\", "C:\\D\\"},
      {kPosix, "", ""},     {kPosix, "/", "/"},         {kPosix, "/a", "/a/"},
      {kPosix, "a", "a/"},  {kPosix, "/a/", "/a/"},     {kPosix, "a\\", "a\\/"},
  };
  for (const TextCase& c : cases) {
    std::string path(c.in);
    AddTrailingBackslash(c.style, path);
    EXPECT_EQ(path, c.out) << "'" << c.in << "'";
  }
}

TEST(PathRules, SlashesBecomeBackslashesOnlyInWindowsStyle) {
  std::string windows = "a/b\\c/";
  SlashesToBackslashes(kWin, windows);
  EXPECT_EQ(windows, "a\\b\\c\\");
  std::string posix = "a/b\\c/";
  SlashesToBackslashes(kPosix, posix);
  EXPECT_EQ(posix, "a/b\\c/");
}

TEST(PathRules, SplitPathIntoDirNameAndExt) {
  const struct {
    PathStyle style;
    std::string_view path;
    std::string_view dir, name, ext;
  } cases[] = {
      {kWin, "C:\\a\\b.tar.gz", "C:\\a\\", "b.tar", ".gz"},
      {kWin, ".", "", "", "."},
      {kWin, "..", "", ".", "."},
      {kWin, ".profile", "", "", ".profile"},
      {kWin, "C:x.c", "C:", "x", ".c"},
      {kWin, "a/b.c", "a\\", "b", ".c"},
      {kWin, "a.d\\b", "a.d\\", "b", ""},
      {kPosix, "/x/a.b.c", "/x/", "a.b", ".c"},
      {kPosix, "C:x.c", "", "C:x", ".c"},
      {kPosix, "a\\b.c", "", "a\\b", ".c"},
      {kPosix, "a.d/b", "a.d/", "b", ""},
      {kPosix, "..", "", ".", "."},
      {kPosix, "/", "/", "", ""},
  };
  for (const auto& c : cases) {
    const SplitPathResult parts = SplitPath(c.style, c.path);
    EXPECT_EQ(parts.dir, c.dir) << "'" << c.path << "'";
    EXPECT_EQ(parts.name, c.name) << "'" << c.path << "'";
    EXPECT_EQ(parts.ext, c.ext) << "'" << c.path << "'";
  }
}

TEST(PathRules, CollapseDoubledSeparatorsKeepsALeadingPair) {
  const TextCase cases[] = {
      {kWin, "C:\\\\list.lst", "C:\\list.lst"},
      {kWin, "\\\\SRV\\\\X\\list", "\\\\SRV\\X\\list"},
      {kWin, "\\\\\\a", "\\\\a"},
      {kWin, "a\\\\\\\\b", "a\\b"},
      {kWin, "a//b", "a//b"},
      {kPosix, "//srv//a", "//srv/a"},
      {kPosix, "/a///b/", "/a/b/"},
      {kPosix, "C:\\\\x", "C:\\\\x"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(CollapseDoubledSeparators(c.style, c.in), c.out) << "'" << c.in << "'";
  }
}

TEST(PathRules, TrimSpacesOnlyTrimsSpaces) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
}

}  // namespace
}  // namespace zovu
