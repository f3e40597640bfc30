#include "platform/posix/posix_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace zovu {
namespace {

TEST(ExpandPosixPath, ResolvesByTextAlone) {
  const struct {
    std::string_view currentDir;
    std::string_view path;
    std::string_view expanded;
  } cases[] = {
      {"/srv/proj", "", "/srv/proj"},
      {"/srv/proj", ".", "/srv/proj"},
      {"/srv/proj", "./", "/srv/proj"},
      {"/srv/proj", "..", "/srv"},
      {"/srv/proj", "../..", "/"},
      {"/srv/proj", "../../../..", "/"},
      {"/srv/proj", "src/", "/srv/proj/src"},
      {"/srv/proj", "a/./b/../c", "/srv/proj/a/c"},
      {"/srv/proj", "/", "/"},
      {"/srv/proj", "//", "/"},
      {"/srv/proj", "//a//b/", "/a/b"},
      {"/srv/proj", "/a/b/../../..", "/"},
      {"/srv/proj", "/..", "/"},
      {"/", "..", "/"},
      {"/", "x", "/x"},
      {"/srv//proj/", "x", "/srv/proj/x"},
      // Three dots, backslashes and colons are ordinary names.
      {"/srv/proj", "...", "/srv/proj/..."},
      {"/srv/proj", "a\\..", "/srv/proj/a\\.."},
      {"/srv/proj", "C:", "/srv/proj/C:"},
      // ".." undoes the segment before it even when that is a link.
      {"/srv/proj", "link/..", "/srv/proj"},
      // Segments starting with dots are names too.
      {"/srv/proj", ".git/.x", "/srv/proj/.git/.x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandPosixPath(c.currentDir, c.path), c.expanded)
        << "'" << c.path << "' in '" << c.currentDir << "'";
  }
}

TEST(ExpandPosixPath, LongPathsAreKeptWhole) {
  const std::string a(200, 'a');
  const std::string b(200, 'b');
  EXPECT_EQ(ExpandPosixPath("/" + a, b + "/./"), "/" + a + "/" + b);
  EXPECT_EQ(ExpandPosixPath("/" + a, "../" + b), "/" + b);
}

}  // namespace
}  // namespace zovu
