// Inputs that the fuzz targets found to break a property, kept as plain tests.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/posix_paths.h"
#include "search/search_spec.h"
#include "unit/fake_windows_paths.h"

namespace zovu {
namespace {

class FixedPosixPaths final : public PathExpander {
 public:
  explicit FixedPosixPaths(std::string currentDir) : currentDir_(std::move(currentDir)) {}
  std::string ExpandPath(std::string_view path) override {
    return ExpandPosixPath(currentDir_, path);
  }

 private:
  std::string currentDir_;
};

// ".." selected every file of the parent only when the parent's path had no "," or ";":
// otherwise the pieces of the path became masks, such as "a.*,b/".
TEST(FuzzRegression, ParentWhosePathHoldsCommasOrSemicolonsSelectsEveryFile) {
  FixedPosixPaths posix("/x/a,b;c/sub");
  const PathContext posixPaths{PathStyle::kPosix, posix};
  EXPECT_EQ(MakeMaskList("..", ".*", posixPaths), "*.*");
  EXPECT_EQ(MakeMaskList("..", ".", posixPaths), "*.");
  EXPECT_EQ(MakeStartPath("..", posixPaths), "/x/a,b;c/");

  testing::FakeWindowsPaths windows('C', {{'C', "C:\\a;b,c\\sub"}});
  const PathContext windowsPaths{PathStyle::kWindows, windows};
  EXPECT_EQ(MakeMaskList("..", "", windowsPaths), "*.*");
  EXPECT_EQ(MakeStartPath("..", windowsPaths), "C:\\a;b,c\\");
}

}  // namespace
}  // namespace zovu
