// Directory handling that only POSIX systems have: a removed current directory, and what
// a listing fetches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <utility>

#include "common/temp_dir.h"
#include "platform/posix/posix_file_system.h"

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
  // The listing names the file; its details take a lookup of their own.
  struct Finder final : ListingSink {
    bool Entry(ListedEntry& entry) override {
      if (entry.name == "f.txt") found = entry;
      return true;
    }
    ListedEntry found;
  };
  auto listed = [&](EntryDetails details) {
    const OpenedDirectory dir = fileSystem.OpenStart(tree.path().string());
    EXPECT_EQ(dir.outcome, OpenOutcome::kOpened);
    Finder finder;
    const auto reader = fileSystem.NewReader();
    EXPECT_EQ(reader->List(*dir.directory, details, finder).outcome, ListOutcome::kComplete);
    EXPECT_EQ(finder.found.detailsApart, details != EntryDetails::kNamesOnly);
    finder.found.name = "f.txt";
    if (finder.found.detailsApart) {
      EXPECT_TRUE(reader->Describe(*dir.directory, details, finder.found));
    }
    return finder.found;
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
