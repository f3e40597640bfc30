// Path rules against the real Windows calls (GetFullPathNameW), not a fake expander.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/second_drive_windows.h"
#include "common/temp_dir.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_paths.h"
#include "search/file_search.h"
#include "search/path_rules.h"
#include "search/search_arg.h"
#include "unit/search_target_check.h"
#include "unit/walk_rig.h"

namespace zovu {
namespace {

using testing::CurrentDirScope;
using testing::SecondDrive;
using testing::TempDir;

std::string Utf8(const std::filesystem::path& path) {
  return Utf8FromWide(path.wstring());
}

std::string CurrentDir() {
  return Utf8(std::filesystem::current_path());
}

// The tests stand in WORK\SUB, WORK being a fresh temporary directory on drive D.
struct WorkTree {
  TempDir temp;
  std::string work = Utf8(temp.Dir("WORK"));
  std::string drive = work.substr(0, 2);
  CurrentDirScope inside{temp.Dir("WORK/SUB")};
  WindowsFileSystem fileSystem;
  // Whether a trailing "\" survives expansion differs between systems, and no caller
  // cares: each one adds or strips it.
  std::string Expanded(std::string_view path) {
    return StripTrailingBackslashes(PathStyle::kWindows, fileSystem.ExpandPath(path));
  }
};

TEST(WindowsExpandPath, ResolvesAgainstTheCurrentDirectoryOfTheNamedDrive) {
  WorkTree t;
  const std::string& w = t.work;
  const std::string& d = t.drive;
  const std::string unused = testing::UnusedDriveLetter();
  ASSERT_FALSE(unused.empty());
  const std::pair<std::string, std::string> cases[] = {
      {".", w + "\\SUB"},
      {"", w + "\\SUB"},
      {"..", w},
      {"x", w + "\\SUB\\x"},
      {"..\\y", w + "\\y"},
      {"../y", w + "\\y"},  // "/" is accepted for "\"
      {"src/", w + "\\SUB\\src"},
      {d, w + "\\SUB"},  // a bare drive is its current directory
      {d + "x", w + "\\SUB\\x"},
      {d + "..", w},
      {d + "\\", d + "\\"},
      {"\\", d + "\\"},        // the root of the current drive
      {d + "\\..", d + "\\"},  // a root is its own parent
      {d + "\\a\\.\\b\\..\\c", d + "\\a\\c"},
      {unused, unused + "\\"},  // a drive never visited stands at its root
      {unused + "x", unused + "\\x"},
  };
  for (const auto& [path, expanded] : cases) {
    EXPECT_EQ(t.Expanded(path), expanded) << path;
  }
}

TEST(WindowsExpandPath, EveryDriveKeepsItsOwnCurrentDirectory) {
  SecondDrive second;
  if (second.letter().empty()) GTEST_SKIP() << second.problem();
  WorkTree t;
  const std::string y = second.letter();
  const std::string yHome = Utf8(second.directory() / "home");
  std::filesystem::create_directory(second.directory() / "home");

  ASSERT_TRUE(SetCurrentDirectoryKeepingDrives(WideFromUtf8(yHome)));
  EXPECT_EQ(CurrentDir(), yHome);
  // Seen from the other drive, the first drive is where the process left it.
  EXPECT_EQ(t.Expanded(t.drive), t.work + "\\SUB");
  EXPECT_EQ(t.Expanded(t.drive + "x"), t.work + "\\SUB\\x");
  EXPECT_EQ(t.Expanded("x"), yHome + "\\x");

  // Back to where it was there.
  ASSERT_TRUE(SetCurrentDirectoryKeepingDrives(WideFromUtf8(t.drive)));
  EXPECT_EQ(CurrentDir(), t.work + "\\SUB");
  EXPECT_EQ(t.Expanded(y), yHome);
  EXPECT_EQ(t.Expanded(y + "z"), yHome + "\\z");
  EXPECT_EQ(t.Expanded(y + ".."), Utf8(second.directory()));
}

struct ArgCase {
  std::string arg;
  std::string masks;
  std::string start;
};

void ExpectArgs(const PathContext& paths, const std::vector<ArgCase>& cases) {
  for (const ArgCase& c : cases) {
    testing::ExpectTarget(paths, ".*", c.arg, c.masks, c.start);
  }
}

TEST(WindowsSearchArg, StartPathsAndMasksOfTheWorkedExamples) {
  WorkTree t;
  const std::string w = t.work;
  const std::string& d = t.drive;
  // A drive that does not exist stands in for another drive: an absolute path on it is
  // expanded by text alone.
  const std::string other = testing::UnusedDriveLetter();
  ASSERT_FALSE(other.empty());
  const PathContext paths{PathStyle::kWindows, t.fileSystem};
  {
    CurrentDirScope atWork(t.work);
    ExpectArgs(paths, {
                          {"", "*.*", w + "\\"},
                          {"*.pas", "*.pas", w + "\\"},
                          {"readme", "readme.*", w + "\\"},
                          {".", "*.*", w + "\\"},
                          {"src/", "*.*", w + "\\src\\"},
                          {"src\\", "*.*", w + "\\src\\"},
                          {"src\\*.c,*.h", "*.c,*.h", w + "\\src\\"},
                          {"src/*.c,*.h", "*.c,*.h", w + "\\src\\"},
                          {other + "\\data\\.txt", "*.txt", other + "\\data\\"},
                          {"*.c;old", "*.c;old", w + "\\"},
                          {"@list.txt", "", "@" + w + "\\list.txt"},
                          {"@lists/all.lst", "", "@" + w + "\\lists\\all.lst"},
                          // A directory needs its trailing separator.
                          {"src", "src.*", w + "\\"},
                          {"src\\.", "*.*", w + "\\src\\"},
                          // A bare drive is that drive's current directory; a root keeps
                          // its backslash.
                          {d, "*.*", w + "\\"},
                          {d + "x.c", "x.c", w + "\\"},
                          {d + "\\", "*.*", d + "\\"},
                          {"..\\*.c", "*.c", Utf8(t.temp.path()) + "\\"},
                      });
  }
  // From WORK\SUB, ".." alone is the parent; the mask list sees the raw argument and the
  // start path the argument cut at "," and ";".
  ExpectArgs(paths, {
                        {"..", "*.*", w + "\\"},
                        {"..,*.c", "..,*.c", w + "\\"},
                        {"..;x", "..;x", w + "\\"},
                        {"../", "*.*", w + "\\"},
                    });
  // A root keeps its backslash.
  EXPECT_EQ(t.Expanded(t.drive + "\\"), t.drive + "\\");
}

TEST(WindowsSearch, WalksTheRootOfADrive) {
  SecondDrive second;
  if (second.letter().empty()) GTEST_SKIP() << second.problem();
  WorkTree t;
  const PathContext paths{PathStyle::kWindows, t.fileSystem};
  const SearchTarget target = ParseSearchArg(second.letter() + "/", ".*", paths);
  EXPECT_EQ(target.startDir, second.letter() + "\\");
  testing::QuietWatcher watcher;
  testing::RecordingCallbacks callbacks;
  const SearchOutcome outcome = SearchFiles(t.fileSystem, PathStyle::kWindows, target,
                                            testing::Options(false), callbacks, watcher);
  EXPECT_TRUE(callbacks.Saw(Utf8(second.directory().filename())));
  EXPECT_FALSE(outcome.searchErrors);
  EXPECT_EQ(CurrentDir(), t.work + "\\SUB");
}

// Stops the walk once it has handed over the given number of entries.
class StopAfter final : public WalkWatcher {
 public:
  explicit StopAfter(std::uint64_t entries) : entries_(entries) {}
  bool Tick(std::uint64_t entries) override { return entries_ != 0 && entries >= entries_; }

 private:
  std::uint64_t entries_;
};

// A list file's line on another drive makes that drive current, so that a relative line
// after it is taken there; the search puts back the current directory of both drives.
TEST(WindowsSearch, ListFilesPutBackTheCurrentDirectoryOfEveryDriveTheyChanged) {
  SecondDrive second;
  if (second.letter().empty()) GTEST_SKIP() << second.problem();
  const std::filesystem::path home = second.directory() / "home";
  const std::filesystem::path tree = second.directory() / "tree";
  std::filesystem::create_directories(home / "rel");
  std::filesystem::create_directories(tree / "a" / "b" / "c");
  TempDir files;
  for (const std::filesystem::path& name :
       {tree / "a/1.txt", tree / "a/b/2.txt", tree / "a/b/c/3.txt", tree / "4.txt",
        home / "rel/5.txt"}) {
    std::filesystem::copy_file(files.File("x"), name);
  }
  // The whole list, and one whose first line's walk is stopped part way.
  for (const std::uint64_t stopAfter : {0, 2}) {
    WorkTree t;
    ASSERT_TRUE(SetCurrentDirectoryKeepingDrives(home.wstring()));
    ASSERT_TRUE(SetCurrentDirectoryKeepingDrives(WideFromUtf8(t.work + "\\SUB")));
    const std::string list = Utf8(files.File("l.lst", Utf8(tree) + "\\\r\nrel\\\r\n"));
    StopAfter watcher(stopAfter);
    testing::RecordingCallbacks callbacks;
    const SearchOutcome outcome =
        SearchFiles(t.fileSystem, PathStyle::kWindows,
                    SearchTarget{SearchTarget::Kind::kListFile, "", "", list},
                    testing::Options(true), callbacks, watcher);
    EXPECT_EQ(outcome.aborted, stopAfter != 0);
    EXPECT_EQ(outcome.searchErrors, stopAfter != 0);  // a walk ended by ESC is an error
    // 4 files and 3 directories in the tree, and the relative line's file.
    if (stopAfter == 0) {
      EXPECT_EQ(outcome.entries, 8);
    }
    EXPECT_EQ(callbacks.Saw("5.txt"), stopAfter == 0);
    EXPECT_EQ(CurrentDir(), t.work + "\\SUB") << stopAfter;
    EXPECT_EQ(t.Expanded(second.letter()), Utf8(home)) << stopAfter;
  }
}

}  // namespace
}  // namespace zovu
