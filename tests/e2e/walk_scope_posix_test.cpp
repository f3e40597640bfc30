// What a walk enters and what it totals: exclusions, one file system, bytes on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/private_mounts_posix.h"
#include "common/run_process.h"
#include "common/temp_dir.h"
#include "e2e/hostile_run.h"

namespace zovu::testing {
namespace {

namespace fs = std::filesystem;

// The summary line of a run's report.
std::string Summary(const ProcessResult& result) {
  const std::size_t start = result.out.rfind('\n', result.out.size() - 2);
  return result.out.substr(start == std::string::npos ? 0 : start + 1);
}

// The figures of the box's cells (". digits|"), added up.
long long TableTotal(const std::string& report) {
  long long total = 0;
  for (std::size_t dot = report.find(" ."); dot != std::string::npos;
       dot = report.find(" .", dot + 1)) {
    const std::size_t digits = report.find_first_not_of(' ', dot + 2);
    const std::size_t end = report.find_first_not_of("0123456789", digits);
    if (end != std::string::npos && end > digits && report[end] == '|') {
      total += std::stoll(report.substr(digits, end - digits));
    }
  }
  return total;
}

TEST(WalkScope, ExcludedNamesAreNeitherCountedNorEntered) {
  TempDir dir;
  for (const char* name : {"tree/keep.c", "tree/build.log", "tree/src/b.c", "tree/src/x.tmp",
                           "tree/node_modules/m.c", "tree/node_modules/deep/n.c"}) {
    dir.File(name, "x");
  }
  const ProcessResult all = RunZovu({"-S+", "tree/"}, dir.path());
  EXPECT_EQ(Summary(all), WithLineEnds("6 matches found!\n"));
  const ProcessResult some =
      RunZovu({"-S+", "--exclude=node_modules", "--exclude=*.TMP,*.log", "tree/"}, dir.path());
  EXPECT_EQ(some.exitStatus, 0);
  EXPECT_EQ(Summary(some), WithLineEnds("2 matches found!\n")) << some.out;
}

TEST(WalkScope, OneFileSystemEntersNoMountBelowTheStart) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "needs a private mount namespace, which the Wine server does not share; "
                    "Windows enters no mount point anyway, as it shows them as links";
  }
  TempDir dir;
  dir.File("tree/a.txt", "x");
  dir.File("tree/sub/b.txt", "x");
  const fs::path mount = dir.Dir("tree/mnt");
  const std::string verdict = InPrivateMounts([&]() -> std::string {
    if (std::string why = MountTmpfs(mount, "1m"); !why.empty()) return why;
    std::ofstream(mount / "c.txt") << "x";
    const std::string everything = Summary(RunZovu({"-S+", "tree/"}, dir.path()));
    const std::string one = Summary(RunZovu({"-S+", "--one-file-system", "tree/"}, dir.path()));
    if (everything != "3 matches found!\n" || one != "2 matches found!\n") {
      return "walked: " + everything + "one file system: " + one;
    }
    return {};
  });
  if (verdict.starts_with(kSkip)) GTEST_SKIP() << verdict;
  EXPECT_EQ(verdict, "");
}

// An overlay whose layers lie on two file systems lists its directories with inode numbers
// other than those its open directories give: reopening one must not take it for another.
TEST(WalkScope, AnOverlayIsWalkedWholeAtAnyThreadCountAndHandleLimit) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "needs a private mount namespace, which the Wine server does not share";
  }
  constexpr int kDepth = 300;
  TempDir dir;
  const fs::path lower = dir.Dir("lower");
  const fs::path merged = dir.Dir("merged");
  dir.Dir("upper");
  dir.Dir("work");
  const std::string verdict = InPrivateMounts([&]() -> std::string {
    if (std::string why = MountTmpfs(lower, "8m"); !why.empty()) return why;
    fs::path at = lower;
    for (int level = 0; level < kDepth; ++level, at /= "d") {
      fs::create_directories(at);
      std::ofstream(at / "f.txt") << "x";
    }
    const std::string layers = "lowerdir=" + lower.string() +
                               ",upperdir=" + (dir.path() / "upper").string() +
                               ",workdir=" + (dir.path() / "work").string();
    if (::mount("overlay", merged.c_str(), "overlay", 0, layers.c_str()) != 0) {
      return std::string(kSkip) + Errno("mount overlay");
    }
    std::string wrong;
    for (const unsigned limit : {0u, 20u, 64u}) {
      for (const char* threads : {"--threads=1", "--threads=16"}) {
        const ProcessResult run =
            RunZovuHostile({"-S+", threads, "merged/"}, dir.path(), {.fileLimit = limit});
        if (run.exitStatus != 0 || Summary(run) != "300 matches found!\n") {
          wrong += std::to_string(limit) + " " + threads + ": " + Summary(run);
        }
      }
    }
    return wrong;
  });
  if (verdict.starts_with(kSkip)) GTEST_SKIP() << verdict;
  EXPECT_EQ(verdict, "");
}

// Bytes on disk as du counts them, without the directories' own blocks: sparse files take
// only what they hold, and a file of several names counts once.
TEST(WalkScope, DiskUsageIsWhatDuCountsForTheFiles) {
  TempDir dir;
  dir.File("tree/one.txt", "x");
  dir.File("tree/page.dat", std::string(5000, 'p'));
  dir.File("tree/sub/more.dat", std::string(70000, 'm'));
  const int fd = ::open((dir.path() / "tree/sparse.img").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "s", 1, 4 << 20), 1);
  ASSERT_EQ(::ftruncate(fd, 16 << 20), 0);
  ::close(fd);
  // Links in one directory, across directories, and to a name outside the tree.
  fs::create_hard_link(dir.path() / "tree/page.dat", dir.path() / "tree/page2.dat");
  fs::create_hard_link(dir.path() / "tree/page.dat", dir.path() / "tree/sub/page.bin");
  fs::create_hard_link(dir.path() / "tree/sub/more.dat", dir.path() / "outside.dat");

  const ProcessResult du = RunProcess("du", {"-s", "-B1", "tree"}, dir.path());
  const ProcessResult dirs =
      RunProcess("find", {"tree", "-type", "d", "-printf", "%b\n"}, dir.path());
  ASSERT_EQ(du.exitStatus, 0) << du.err;
  long long expected = std::stoll(du.out);
  for (std::size_t at = 0; at < dirs.out.size(); at = dirs.out.find('\n', at) + 1) {
    expected -= 512 * std::stoll(dirs.out.substr(at));
  }
  const ProcessResult one = RunZovu({"-S+", "--disk-usage", "--threads=1", "tree/"}, dir.path());
  const ProcessResult many = RunZovu({"-S+", "--disk-usage", "--threads=16", "tree/"}, dir.path());
  EXPECT_EQ(one.exitStatus, 0);
  EXPECT_EQ(TableTotal(one.out), expected) << one.out;
  EXPECT_EQ(many.out, one.out);
  EXPECT_EQ(Summary(one), WithLineEnds("4 matches found!\n"))
      << "each file once, whatever its names";
}

}  // namespace
}  // namespace zovu::testing
