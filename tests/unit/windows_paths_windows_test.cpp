// Path rules against the real Windows calls (GetFullPathNameW), not a fake expander.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/second_drive_windows.h"
#include "common/temp_dir.h"
#include "platform/no_keyboard.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_file_system.h"
#include "search/file_search.h"
#include "search/path_rules.h"
#include "search/search_arg.h"

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

  ASSERT_TRUE(t.fileSystem.ChangeDirectory(yHome));
  EXPECT_EQ(CurrentDir(), yHome);
  // Seen from the other drive, the first drive is where the process left it.
  EXPECT_EQ(t.Expanded(t.drive), t.work + "\\SUB");
  EXPECT_EQ(t.Expanded(t.drive + "x"), t.work + "\\SUB\\x");
  EXPECT_EQ(t.Expanded("x"), yHome + "\\x");

  ASSERT_TRUE(t.fileSystem.ChangeDirectory(t.drive));  // back to where it was there
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
    EXPECT_EQ(MakeMaskList(c.arg, ".*", paths), c.masks) << "argument '" << c.arg << "'";
    EXPECT_EQ(MakeStartPath(c.arg, paths), c.start) << "argument '" << c.arg << "'";
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
                          {"@list.txt", "list.txt", "@" + w + "\\"},
                          {"@lists/all.lst", "all.lst", "@" + w + "\\lists\\"},
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

class RecordingCallback final : public FileCallback {
 public:
  bool Item(const FoundFile& file) override {
    names.emplace_back(file.Name);
    return true;
  }
  std::vector<std::string> names;
};

TEST(WindowsSearch, WalksTheRootOfADrive) {
  SecondDrive second;
  if (second.letter().empty()) GTEST_SKIP() << second.problem();
  WorkTree t;
  NoKeyboard keyboard;
  FileSearch search(t.fileSystem, keyboard, PathStyle::kWindows);
  RecordingCallback callback;
  search.SearchFiles(second.letter() + "/", "*.*", kAttrAnyFile, true, false, &callback);
  const std::string mine = Utf8(second.directory().filename());
  EXPECT_NE(std::find(callback.names.begin(), callback.names.end(), mine), callback.names.end());
  EXPECT_FALSE(search.SearchErrors());
  EXPECT_EQ(CurrentDir(), t.work + "\\SUB");
}

// Presses ESC as soon as the walk stands in a directory of the given name.
class EscInside final : public Keyboard {
 public:
  explicit EscInside(std::string name) : name_(std::move(name)) {}
  bool KeyWaiting() override { return !name_.empty() && CurrentDir().ends_with("\\" + name_); }
  int ReadKey() override { return kEscapeKey; }

 private:
  std::string name_;
};

TEST(WindowsSearch, PutsBackTheCurrentDirectoryOfEveryDriveItChanged) {
  SecondDrive second;
  if (second.letter().empty()) GTEST_SKIP() << second.problem();
  const std::filesystem::path home = second.directory() / "home";
  const std::filesystem::path tree = second.directory() / "tree";
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(tree / "a" / "b" / "c");
  TempDir files;
  for (const char* name : {"a/1.txt", "a/b/2.txt", "a/b/c/3.txt", "4.txt"}) {
    std::filesystem::copy_file(files.File("x"), tree / name);
  }
  // Both searches, the whole walk and one ended by ESC deep down, restore both drives.
  for (const std::string escInside : {"", "c"}) {
    WorkTree t;
    ASSERT_TRUE(t.fileSystem.ChangeDirectory(Utf8(home)));
    ASSERT_TRUE(t.fileSystem.ChangeDirectory(t.work + "\\SUB"));
    EscInside keyboard(escInside);
    FileSearch search(t.fileSystem, keyboard, PathStyle::kWindows);
    RecordingCallback callback;
    const std::int64_t found =
        search.SearchFiles(Utf8(tree) + "\\", "*.*", kAttrAnyFile, true, true, &callback);
    EXPECT_EQ(search.Aborted(), !escInside.empty());
    if (escInside.empty()) {
      EXPECT_EQ(found, 7);  // 4 files and 3 directories
    }
    EXPECT_FALSE(search.SearchErrors());
    EXPECT_EQ(CurrentDir(), t.work + "\\SUB") << escInside;
    EXPECT_EQ(t.Expanded(second.letter()), Utf8(home)) << escInside;
  }
}

}  // namespace
}  // namespace zovu
