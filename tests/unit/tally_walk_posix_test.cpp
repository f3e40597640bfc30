#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "common/temp_dir.h"
#include "platform/posix/posix_file_system.h"
#include "search/file_search.h"
#include "search/search_arg.h"
#include "tally/tally_table.h"
#include "unit/tally_rig.h"
#include "unit/walk_rig.h"

namespace zovu::testing {
namespace {

// A file of the given size that takes no disk space.
void MakeSparseFile(const std::filesystem::path& path, std::int64_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0) << path;
  ::close(fd);
}

TEST(TallyWalk, FilesPastFourGibibytesTotalInSizeMode) {
  constexpr std::int64_t kBig = (std::int64_t{5} << 30) + 123;  // 5 GiB and a bit
  TempDir dir;
  MakeSparseFile(dir.path() / "disk.img", kBig);
  MakeSparseFile(dir.path() / "other.IMG", kBig);
  dir.File("notes.txt", "four");
  dir.File("sub/inner.img", "not walked without subdirectories");

  PosixFileSystem fileSystem;
  const PathContext paths{PathStyle::kPosix, fileSystem};
  TallyRig rig(true);
  struct OneCallback final : CallbackSource {
    explicit OneCallback(FileCallback& c) : callback(c) {}
    FileCallback& CallbackFor(std::size_t) override { return callback; }
    FileCallback& callback;
  } source(rig.callback);
  QuietWatcher watcher;
  const SearchOutcome outcome = SearchFiles(fileSystem, PathStyle::kPosix,
                                            ParseSearchArg(dir.path().string() + "/", ".*", paths),
                                            Options(false), source, watcher);
  EXPECT_FALSE(outcome.searchErrors);
  EXPECT_EQ(rig.MatchCount(), 3);
  EXPECT_EQ(EntriesOf(rig), (Entries{{"IMG", 2 * kBig}, {"TXT", 4}}));

  rig.PrintTable();
  EXPECT_EQ(rig.report.text(),
            "+=======================================================================+\n"
            "| Ext . Total Byte Size | Ext . Total Byte Size | Ext . Total Byte Size |\n"
            "+-----+-----------------+-----+-----------------+-----+-----------------+\n"
            "| IMG .      10737418486| TXT .                4|     .                 |\n"
            "+=======================================================================+\n");
}

}  // namespace
}  // namespace zovu::testing
