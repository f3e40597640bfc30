// List-file walks against a file system and keyboard held in memory, for what a real
// run cannot stage: keys pressed at given moments and read errors.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/posix_paths.h"
#include "search/file_search.h"
#include "unit/walk_rig.h"

namespace zovu {
namespace {

class ScriptedLineReader final : public LineReader {
 public:
  // Reading the line at failAt fails and yields only part of it.
  ScriptedLineReader(std::vector<std::string> lines, std::size_t failAt)
      : lines_(std::move(lines)), failAt_(failAt) {}
  bool AtEnd() override { return failed_ || next_ == lines_.size(); }
  std::string ReadLine() override {
    if (next_ == failAt_) {
      failed_ = true;
      return lines_[next_].substr(0, 1);
    }
    return lines_[next_++];
  }
  bool ReadFailed() const override { return failed_; }

 private:
  std::vector<std::string> lines_;
  std::size_t failAt_;
  std::size_t next_ = 0;
  bool failed_ = false;
};

struct PathMark final : DirectoryMark {
  explicit PathMark(std::string p) : path(std::move(p)) {}
  std::string path;
};

// Directories of plain files, found by absolute path; no subdirectories.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::vector<std::string>> dirs;
  std::map<std::string, std::vector<std::string>> textFiles;
  std::size_t failReadAt = static_cast<std::size_t>(-1);
  bool failReturn = false;
  std::string current = "/w";
  std::vector<std::string> entered;  // every start directory opened

  struct Dir final : OpenDirectory {
    explicit Dir(const std::vector<std::string>& n) : names(n) {}
    const std::vector<std::string>& names;
  };
  struct Reader final : DirectoryReader {
    ListResult List(const OpenDirectory& dir, EntryDetails, ListingSink& sink) override {
      for (const std::string& name : static_cast<const Dir&>(dir).names) {
        ListedEntry entry{name, 0, 0, 0, 0};
        if (!sink.Entry(entry)) return ListOutcome::kStopped;
      }
      return ListOutcome::kComplete;
    }
  };

  std::string ExpandPath(std::string_view path) override { return ExpandPosixPath(current, path); }
  OpenedDirectory OpenStart(std::string_view path) override {
    const auto dir = dirs.find(ExpandPath(path));
    if (dir == dirs.end()) return {};
    entered.push_back(dir->first);
    return {std::make_unique<Dir>(dir->second), OpenOutcome::kOpened};
  }
  OpenedDirectory OpenChild(const OpenDirectory&, std::string_view) override { return {}; }
  DirectoryIdentity Identify(const OpenDirectory&) override { return {}; }
  std::unique_ptr<DirectoryReader> NewReader() override { return std::make_unique<Reader>(); }
  HandlePlan PlanHandles(std::size_t threads) override { return {threads, SIZE_MAX}; }
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view) override {
    return MarkCurrentDirectory();
  }
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override {
    return std::make_unique<PathMark>(current);
  }
  bool ReturnTo(const DirectoryMark& mark) override {
    if (failReturn) return false;
    current = static_cast<const PathMark&>(mark).path;
    return true;
  }
  OpenedTextFile OpenTextFile(std::string_view path) override {
    const auto file = textFiles.find(std::string(path));
    if (file == textFiles.end()) return {nullptr, "not there"};
    return {std::make_unique<ScriptedLineReader>(file->second, failReadAt), {}};
  }
};

// Keys waiting in order; each poll takes at most one.
class QueuedKeyboard final : public Keyboard {
 public:
  std::deque<int> keys;
  bool KeyWaiting() override { return !keys.empty(); }
  int ReadKey() override {
    const int key = keys.front();
    keys.pop_front();
    return key;
  }
};

class ListFileWalk : public ::testing::Test {
 protected:
  ListFileWalk() {
    fs.dirs["/w"] = {"w.c", "w.h"};
    fs.dirs["/w/a"] = {"a1.c", "a2.c"};
    fs.dirs["/x"] = {"x.c"};
    fs.dirs["/x/a"] = {"decoy.c"};
  }
  std::int64_t Run(std::vector<std::string> lines) {
    fs.textFiles["/w/l.lst"] = std::move(lines);
    return Search("/w/l.lst");
  }
  std::int64_t Search(const std::string& listFile) {
    testing::KeyWatcher watcher(keyboard);
    const SearchOutcome outcome = SearchFiles(
        fs, PathStyle::kPosix, SearchTarget{SearchTarget::Kind::kListFile, "", "", listFile},
        testing::Options(false), callbacks, watcher);
    errors = outcome.searchErrors;
    aborted = outcome.aborted;
    return outcome.entries;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const testing::Seen& seen : callbacks.FirstThread()) names.push_back(seen.name);
    return names;
  }

  MemoryFileSystem fs;
  QueuedKeyboard keyboard;
  testing::RecordingCallbacks callbacks;
  bool errors = false;
  bool aborted = false;
};

TEST_F(ListFileWalk, RelativeLinesStartFromTheDirectoryCurrentBeforeTheSearch) {
  EXPECT_EQ(Run({"/x/", "a/", "*.h"}), 4);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.c", "a1.c", "a2.c", "w.h"}));
  EXPECT_FALSE(errors);
  EXPECT_EQ(fs.current, "/w");
}

TEST_F(ListFileWalk, EscBetweenLinesEndsTheListWithoutErrors) {
  // Other keys are swallowed one per poll: the first line's poll and its two entries'.
  keyboard.keys = {'1', '2', '3', kEscapeKey};
  EXPECT_EQ(Run({"a/", "/x/", "*.h"}), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a1.c", "a2.c"}));
  EXPECT_TRUE(aborted);
  EXPECT_FALSE(errors);
}

TEST_F(ListFileWalk, EscDuringALineIsAnError) {
  keyboard.keys = {'q', 'q', kEscapeKey};  // line poll, first entry, second entry
  EXPECT_EQ(Run({"a/", "/x/"}), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a1.c"}));
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(errors);
  EXPECT_EQ(fs.current, "/w");
}

TEST_F(ListFileWalk, ReadErrorEndsTheListAsAnError) {
  fs.failReadAt = 1;
  EXPECT_EQ(Run({"a/", "/x/", "*.h"}), 2);
  EXPECT_TRUE(errors);
  // The line cut short by the error is not walked.
  EXPECT_EQ(fs.entered, (std::vector<std::string>{"/w/a"}));
}

TEST_F(ListFileWalk, NestedListLineIsNotEntered) {
  fs.dirs["/w/@"] = {"trap.c"};
  fs.dirs["/w/@/w"] = {"trap.c"};
  EXPECT_EQ(Run({"@l.lst", "a/"}), 2);
  EXPECT_TRUE(errors);
  EXPECT_EQ(fs.entered, (std::vector<std::string>{"/w/a"}));
}

TEST_F(ListFileWalk, FailedReturnAfterALineIsAnError) {
  fs.failReturn = true;
  EXPECT_EQ(Run({"a/"}), 2);
  EXPECT_TRUE(errors);
}

TEST_F(ListFileWalk, MissingListFileWalksNothing) {
  EXPECT_EQ(Search("/w/none.lst"), 0);
  EXPECT_TRUE(errors);
  EXPECT_TRUE(fs.entered.empty());
}

TEST_F(ListFileWalk, BlankLinesWalkNothing) {
  EXPECT_EQ(Run({"", "   ", ""}), 0);
  EXPECT_FALSE(errors);
  EXPECT_TRUE(fs.entered.empty());
}

}  // namespace
}  // namespace zovu
