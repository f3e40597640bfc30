#include "search/file_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/system.h"
#include "search/tree_walk.h"
#include "unit/walk_rig.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/deep_tree_posix.h"
#endif

namespace zovu {
namespace {

using testing::Options;
using testing::QuietWatcher;
using testing::RecordingCallbacks;
using testing::Seen;
using testing::TempDir;

// The walker on this machine's own file system.
struct Searcher {
  System system = OpenSystem();
  QuietWatcher watcher;
  RecordingCallbacks callbacks;
  WalkResult result;
  std::int64_t Run(const std::filesystem::path& start, bool recurse, std::size_t threads = 1) {
    result = WalkTree(*system.fileSystem, start.string(), MaskList("*.*"),
                      Options(recurse, threads), callbacks, watcher);
    return result.entries;
  }
};

TEST(FileSearch, HandsOverEveryEntryOnceWithAnyNumberOfThreads) {
  TempDir tree;
  tree.File("top.txt");
  tree.File("sub/inner.c");
  tree.File("sub/deeper/leaf.h");
  tree.Dir("sub/empty");
  const std::vector<Seen> expected = {{"deeper", true},  {"empty", true}, {"inner.c", false},
                                      {"leaf.h", false}, {"sub", true},   {"top.txt", false}};
  for (const std::size_t threads : {1u, 4u}) {
    Searcher s;
    EXPECT_EQ(s.Run(tree.path(), true, threads), 6) << threads;
    EXPECT_EQ(s.callbacks.All(), expected) << threads;
    EXPECT_FALSE(s.result.errors);
  }
}

TEST(FileSearch, SkipsDotGitDirectoriesAndFossilFilesOnly) {
  TempDir tree;
  tree.File(".git/hidden.txt");
  tree.File("upper/.GIT/shown.txt");  // apart from .git, for file systems that ignore case
  tree.File("nested/.git");           // a file named .git is an ordinary file
  tree.File("nested/_Fossil_");
  tree.File("_FOSSIL_/_fossil_");  // a directory of that name is walked; its file is not counted
  tree.File("_FOSSIL_/kept.txt");
  tree.File("more/_FOSSIL_");
  Searcher s;
  s.Run(tree.path(), true);
  const std::vector<Seen> expected = {{"shown.txt", false}, {".GIT", true},   {"upper", true},
                                      {".git", false},      {"nested", true}, {"kept.txt", false},
                                      {"_FOSSIL_", true},   {"more", true}};
  std::vector<Seen> want = expected;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(s.callbacks.All(), want);
}

TEST(FileSearch, WithoutRecursionDeliversDirectoriesWithoutEnteringThem) {
  TempDir tree;
  tree.File("a.txt");
  tree.File("sub/b.txt");
  tree.Dir(".git");
  Searcher s;
  EXPECT_EQ(s.Run(tree.path(), false), 2);
  EXPECT_TRUE(s.callbacks.Saw("a.txt"));
  EXPECT_TRUE(s.callbacks.Saw("sub"));
  EXPECT_FALSE(s.callbacks.Saw("b.txt"));
}

TEST(FileSearch, NeverFollowsSymbolicLinks) {
  TempDir tree;
  tree.File("sub/only-once.txt");
  std::error_code error;
  std::filesystem::create_directory_symlink(".", tree.path() / "sub" / "loop", error);
  std::filesystem::create_directory_symlink(tree.path() / "sub", tree.path() / "link", error);
  if (!std::filesystem::is_symlink(tree.path() / "link", error)) {
    GTEST_SKIP() << "this system does not let the test create directory links";
  }
  Searcher s;
  EXPECT_EQ(s.Run(tree.path(), true), 4);
  const std::vector<Seen> expected = {
      {"link", false}, {"loop", false}, {"only-once.txt", false}, {"sub", true}};
  EXPECT_EQ(s.callbacks.All(), expected);
  EXPECT_FALSE(s.result.errors);
}

TEST(FileSearch, StartDirectoryThatCannotBeEnteredGivesNoEntriesAndNoError) {
  TempDir tree;
  const auto file = tree.File("plain.txt");
  Searcher s;
  EXPECT_EQ(s.Run(tree.path() / "missing", true), 0);
  EXPECT_EQ(s.Run(file, true), 0);
  EXPECT_FALSE(s.result.opened);
  EXPECT_FALSE(s.result.errors);
}

TEST(FileSearch, NeverChangesTheCurrentDirectory) {
  TempDir tree;
  tree.File("a/b/c/d.txt");
  testing::CurrentDirScope inside(tree.path() / "a");
  const auto before = std::filesystem::current_path();
  Searcher s;
  s.Run(tree.path(), true);
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_FALSE(s.result.errors);
}

#ifndef _WIN32
// Runs body in a child process as user nobody; returns the child's exit status.
template <typename Body>
int RunAsNobody(Body body) {
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST(FileSearch, SkipsAnUnreadableSubdirectorySilently) {
  TempDir tree;
  tree.File("open.txt");
  tree.File("locked/secret.txt");
  std::filesystem::permissions(tree.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(tree.path() / "locked", std::filesystem::perms::none);
  const int status = RunAsNobody([&] {
    Searcher s;
    s.Run(tree.path(), true);
    if (s.result.errors) return 1;
    if (!s.callbacks.Saw("locked") || !s.callbacks.Saw("open.txt")) return 2;
    if (s.callbacks.Saw("secret.txt")) return 3;
    return 0;
  });
  ASSERT_NE(status, -1) << "no user nobody on this machine";
  EXPECT_EQ(status, 0);
}

TEST(FileSearch, WalksADeepTreeWithFewFileHandles) {
  // Deeper than the handles allow to hold: most levels are opened from the directory their
  // thread kept after listing it.
  TempDir tree;
  constexpr int kDepth = 1000;
  testing::MakeDeepChain(tree.path(), kDepth);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(100);
    Searcher s;
    const std::int64_t entries = s.Run(tree.path(), true, 8);
    // Each level holds a directory entry and a file.
    ::_exit(entries == 2 * kDepth && !s.result.errors ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  testing::RemoveDeepChain(tree.path(), kDepth);
}
#endif

}  // namespace
}  // namespace zovu
