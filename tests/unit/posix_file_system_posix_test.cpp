// Directory handling that only POSIX systems have: a removed current directory, and a
// starting directory renamed while the walk is away from it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "common/temp_dir.h"
#include "platform/no_keyboard.h"
#include "platform/posix/posix_file_system.h"
#include "search/file_search.h"

namespace zovu {
namespace {

TEST(PosixFileSystem, RelativePathsStayRelativeWhenTheCurrentDirectoryIsGone) {
  testing::TempDir tree;
  const auto gone = tree.Dir("gone");
  testing::CurrentDirScope inside(gone);
  std::filesystem::remove(gone);
  PosixFileSystem fileSystem;
  EXPECT_EQ(fileSystem.ExpandPath("sub/x"), "sub/x");
  EXPECT_EQ(fileSystem.ExpandPath(""), ".");
  EXPECT_EQ(fileSystem.ExpandPath("/abs/../y"), "/y");
}

}  // namespace
}  // namespace zovu

namespace zovu {
namespace {

class RenamingCallback final : public FileCallback {
 public:
  RenamingCallback(std::filesystem::path from, std::filesystem::path to)
      : from_(std::move(from)), to_(std::move(to)) {}
  bool Item(const FoundFile&) override {
    std::error_code ignored;
    if (!renamed_) std::filesystem::rename(from_, to_, ignored);
    renamed_ = true;
    return true;
  }

 private:
  std::filesystem::path from_;
  std::filesystem::path to_;
  bool renamed_ = false;
};

TEST(FileSearch, ComesBackToTheStartingDirectoryEvenWhenItWasRenamed) {
  testing::TempDir tree;
  tree.File("here/x.txt");
  tree.File("walked/y.txt");
  testing::CurrentDirScope inside(tree.path() / "here");
  struct stat before {};
  ASSERT_EQ(::stat(".", &before), 0);
  PosixFileSystem fileSystem;
  NoKeyboard keyboard;
  FileSearch search(fileSystem, keyboard, PathStyle::kPosix);
  RenamingCallback callback(tree.path() / "here", tree.path() / "moved");
  search.SearchFiles((tree.path() / "walked").string() + "/", "*.*", kAttrAnyFile, true, true,
                     &callback);
  struct stat after {};
  ASSERT_EQ(::stat(".", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(std::filesystem::current_path(), tree.path() / "moved");
  EXPECT_FALSE(search.SearchErrors());
}

}  // namespace
}  // namespace zovu
