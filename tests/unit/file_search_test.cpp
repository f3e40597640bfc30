#include "search/file_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/no_keyboard.h"
#include "platform/system.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/deep_tree.h"
#endif

namespace zovu {
namespace {

using testing::TempDir;

struct Seen {
  std::string name;
  bool directory;
  bool operator==(const Seen&) const = default;
};

class RecordingCallback final : public FileCallback {
 public:
  bool Item(const FoundFile& file) override {
    seen.push_back({std::string(file.Name), (file.Attr & kAttrDirectory) != 0});
    return true;
  }
  std::size_t IndexOf(const std::string& name) const {
    const auto it =
        std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.name == name; });
    return static_cast<std::size_t>(it - seen.begin());
  }
  bool Saw(const std::string& name) const { return IndexOf(name) < seen.size(); }
  std::vector<Seen> seen;
};

// The walker on this machine's own file system.
struct Searcher {
  System system = OpenSystem();
  NoKeyboard keyboard;
  FileSearch search{*system.fileSystem, keyboard, system.pathStyle};
  RecordingCallback callback;
  std::int64_t Run(const std::filesystem::path& start, bool recurse) {
    return search.SearchFiles(start.string() + "/", "*.*", kAttrAnyFile, true, recurse, &callback);
  }
};

TEST(FileSearch, WalksDepthFirstWithEachDirectoryAfterItsContents) {
  TempDir tree;
  tree.File("top.txt");
  tree.File("sub/inner.c");
  tree.File("sub/deeper/leaf.h");
  Searcher s;
  EXPECT_EQ(s.Run(tree.path(), true), 5);
  ASSERT_EQ(s.callback.seen.size(), 5u);
  EXPECT_LT(s.callback.IndexOf("leaf.h"), s.callback.IndexOf("deeper"));
  EXPECT_LT(s.callback.IndexOf("deeper"), s.callback.IndexOf("sub"));
  EXPECT_LT(s.callback.IndexOf("inner.c"), s.callback.IndexOf("sub"));
  // Everything inside sub is delivered together, right before sub itself.
  const std::size_t sub = s.callback.IndexOf("sub");
  ASSERT_GE(sub, 3u);
  for (const char* inside : {"inner.c", "deeper", "leaf.h"}) {
    EXPECT_GE(s.callback.IndexOf(inside), sub - 3) << inside;
  }
  EXPECT_TRUE(s.callback.seen[sub].directory);
  EXPECT_FALSE(s.search.SearchErrors());
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
  std::vector<Seen> seen = s.callback.seen;
  auto byName = [](const Seen& a, const Seen& b) { return a.name < b.name; };
  std::vector<Seen> want = expected;
  std::sort(seen.begin(), seen.end(), byName);
  std::sort(want.begin(), want.end(), byName);
  EXPECT_EQ(seen, want);
}

TEST(FileSearch, WithoutRecursionDeliversDirectoriesWithoutEnteringThem) {
  TempDir tree;
  tree.File("a.txt");
  tree.File("sub/b.txt");
  tree.Dir(".git");
  Searcher s;
  EXPECT_EQ(s.Run(tree.path(), false), 2);
  EXPECT_TRUE(s.callback.Saw("a.txt"));
  EXPECT_TRUE(s.callback.Saw("sub"));
  EXPECT_FALSE(s.callback.Saw("b.txt"));
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
  EXPECT_EQ(
      std::count(s.callback.seen.begin(), s.callback.seen.end(), Seen{"only-once.txt", false}), 1);
  EXPECT_TRUE(std::find(s.callback.seen.begin(), s.callback.seen.end(), Seen{"loop", false}) !=
              s.callback.seen.end());
  EXPECT_TRUE(std::find(s.callback.seen.begin(), s.callback.seen.end(), Seen{"link", false}) !=
              s.callback.seen.end());
  EXPECT_FALSE(s.search.SearchErrors());
}

TEST(FileSearch, StartDirectoryThatCannotBeEnteredGivesNoEntriesAndNoError) {
  TempDir tree;
  const auto file = tree.File("plain.txt");
  Searcher s;
  EXPECT_EQ(s.Run(tree.path() / "missing", true), 0);
  EXPECT_EQ(s.Run(file, true), 0);
  EXPECT_FALSE(s.search.SearchErrors());
}

TEST(FileSearch, PutsTheCurrentDirectoryBackAfterTheSearch) {
  TempDir tree;
  tree.File("a/b/c/d.txt");
  testing::CurrentDirScope inside(tree.path() / "a");
  const auto before = std::filesystem::current_path();
  Searcher s;
  s.Run(tree.path(), true);
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_FALSE(s.search.SearchErrors());
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
    if (s.search.SearchErrors()) return 1;
    if (!s.callback.Saw("locked") || !s.callback.Saw("open.txt")) return 2;
    if (s.callback.Saw("secret.txt")) return 3;
    return 0;
  });
  ASSERT_NE(status, -1) << "no user nobody on this machine";
  EXPECT_EQ(status, 0);
}

TEST(FileSearch, WalksATreeTenThousandLevelsDeepWithFewFileHandles) {
  TempDir tree;
  constexpr int kDepth = 10000;
  testing::MakeDeepChain(tree.path(), kDepth);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{256, 256};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(100);
    Searcher s;
    const std::int64_t entries = s.Run(tree.path(), true);
    // Each level holds a directory entry and a file.
    ::_exit(entries == 2 * kDepth && !s.search.SearchErrors() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  testing::RemoveDeepChain(tree.path(), kDepth);
}
#endif

// Whatever ends the program, the directories that the search changed are put back.
struct CurrentDirReporter {
  ~CurrentDirReporter() {
    const std::string text = "cwd=" + std::filesystem::current_path().string() + "\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
};

// The text as a pattern that matches only itself (Windows paths hold "\\").
std::string LiteralPattern(const std::string& text) {
  std::string pattern;
  for (const char c : text) {
    if (std::string_view("\\.^$*+?()[]{}|").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

class ExitingCallback final : public FileCallback {
 public:
  bool Item(const FoundFile&) override { std::exit(0); }
};

TEST(FileSearchDeathTest, PutsTheCurrentDirectoryBackWhenTheProgramEndsMidSearch) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir tree;
  tree.File("sub/deep/file.txt");
  const std::string start = std::filesystem::current_path().string();
  EXPECT_EXIT(
      {
        static CurrentDirReporter reporter;  // its report runs after the search's exit handler
        System system = OpenSystem();
        NoKeyboard keyboard;
        FileSearch search(*system.fileSystem, keyboard, system.pathStyle);
        ExitingCallback callback;
        search.SearchFiles(tree.path().string() + "/", "*.*", kAttrAnyFile, true, true, &callback);
      },
      ::testing::ExitedWithCode(0), "cwd=" + LiteralPattern(start) + "\n");
}

}  // namespace
}  // namespace zovu
