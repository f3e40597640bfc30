// Directory handling that only POSIX systems have: a removed current directory, and a
// starting directory renamed while the walk is away from it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
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

namespace zovu {
namespace {

TEST(PosixFileSystem, ListsSizesAndLocalDosTimesOnlyWhenAsked) {
  testing::TempDir tree;
  const auto file = tree.File("f.txt", std::string(1234, 'x'));
  struct tm local {};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 4;
  local.tm_mday = 17;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 30;
  local.tm_isdst = -1;
  const timespec times[2] = {{::mktime(&local), 0}, {::mktime(&local), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  constexpr std::uint32_t kDate = ((2024 - 1980) << 9) | (5 << 5) | 17;
  constexpr std::uint32_t kTime = (13 << 11) | (45 << 5) | (30 / 2);

  PosixFileSystem fileSystem;
  ASSERT_TRUE(fileSystem.ChangeDirectory(tree.path().string()));
  auto listed = [&](EntryDetails details) {
    DirectoryListing listing;
    EXPECT_TRUE(fileSystem.ListCurrentDirectory(details, listing));
    for (std::size_t i = 0; i < listing.Size(); ++i) {
      if (listing.NameOf(listing.At(i)) == "f.txt") return listing.At(i);
    }
    ADD_FAILURE() << "f.txt not listed";
    return DirectoryListing::Entry{};
  };
  const auto all = listed(EntryDetails::kSizesAndTimes);
  EXPECT_EQ(all.size, 1234);
  EXPECT_EQ(all.time, (kDate << 16) | kTime);
  const auto sizes = listed(EntryDetails::kSizes);
  EXPECT_EQ(sizes.size, 1234);
  EXPECT_EQ(sizes.time, 0u);
  const auto names = listed(EntryDetails::kNamesOnly);
  EXPECT_EQ(names.size, 0);
  EXPECT_EQ(names.attr, 0u);
}

}  // namespace
}  // namespace zovu
