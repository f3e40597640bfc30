// Hostile inputs that once broke a property (most found by the fuzz targets), kept as
// plain tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/block_scramble.h"
#include "common/memory_block_files.h"
#include "platform/chunked_line_reader.h"
#include "platform/no_keyboard.h"
#include "search/file_search.h"
#include "search/search_arg.h"
#include "support/config_writer.h"
#include "support/terminal_text.h"
#include "unit/fake_windows_paths.h"
#include "unit/search_target_check.h"
#include "unit/walk_rig.h"

namespace zovu {
namespace {

// The current directory /x/a,b;c/sub, expanded by text: enough for "..".
class ParentWithSeparatorsInItsName final : public PathExpander {
 public:
  std::string ExpandPath(std::string_view path) override {
    if (path == "..") return "/x/a,b;c";
    std::string expanded(path);
    while (expanded.size() > 1 && expanded.back() == '/') expanded.pop_back();
    return expanded;
  }
};

// ".." selected every file of the parent only when the parent's path had no "," or ";":
// otherwise the pieces of the path became masks, such as "a.*,b/".
TEST(SearchArgument, ParentWhosePathHoldsCommasOrSemicolonsSelectsEveryFile) {
  ParentWithSeparatorsInItsName posix;
  const PathContext posixPaths{PathStyle::kPosix, posix};
  testing::ExpectTarget(posixPaths, ".*", "..", "*.*", "/x/a,b;c/");
  testing::ExpectTarget(posixPaths, ".", "..", "*.", "/x/a,b;c/");

  testing::FakeWindowsPaths windows('C', {{'C', "C:\\a;b,c\\sub"}});
  const PathContext windowsPaths{PathStyle::kWindows, windows};
  testing::ExpectTarget(windowsPaths, "", "..", "*.*", "C:\\a;b,c\\");
}

using testing::Bytes;
using testing::MemoryBlockFiles;

// A save cut short while adding the block at the end (a full disk) left a piece of the
// block behind the file's own bytes.
TEST(SaveBlock, AShortWriteLeavesTheFileAsItWas) {
  Bytes block{4, 'i', 'd', '-', '1', 7, 0, 0};
  // Bytes that hold no copy of the block; a copy behind them lines up with the key.
  const Bytes other(255, 0x5A);
  for (const std::size_t written : {0u, 1u, 5u, 6u}) {
    MemoryBlockFiles files;
    files.files["t.cfg"] = other;
    files.writeLimit = written;
    EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved) << written;
    EXPECT_EQ(files.files["t.cfg"], other) << written;
  }
  // A new file is taken away again.
  MemoryBlockFiles files;
  files.writeLimit = 3;
  EXPECT_EQ(SaveBlock(files, "new.cfg", 1, block), SaveResult::kNotSaved);
  EXPECT_EQ(files.files.count("new.cfg"), 0u);
  // A copy replaced in place keeps the file's length and everything in front of it.
  files.writeLimit = SIZE_MAX;
  files.files["t.cfg"] = other;
  ASSERT_EQ(SaveBlock(files, "t.cfg", 0, block), SaveResult::kSaved);
  const Bytes saved = files.files["t.cfg"];
  block[5] = 8;
  files.writeLimit = 2;
  EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved);
  EXPECT_EQ(files.files["t.cfg"].size(), saved.size());
  EXPECT_EQ(Bytes(files.files["t.cfg"].begin(), files.files["t.cfg"].begin() + 255), other);
  // So does a copy that the file's end cuts off, replaced in place by a write that
  // would have made the file longer.
  Bytes cutOff = other;
  testing::Scramble(block);
  cutOff.insert(cutOff.end(), block.begin(), block.begin() + 6);
  testing::Scramble(block);
  files.files["t.cfg"] = cutOff;
  files.writeLimit = 7;  // one byte past the old end, one short of the whole block
  EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved);
  EXPECT_EQ(files.files["t.cfg"], cutOff);
}

// Text handed over in chunks as a file would be read, or a pipe: at most most bytes at
// a time.
class TextSource final : public ChunkedLineReader {
 public:
  explicit TextSource(std::string text, std::size_t most = SIZE_MAX)
      : text_(std::move(text)), most_(most) {}

 protected:
  std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, most_, text_.size() - pos_});
    text_.copy(buffer, n, pos_);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string text_;
  std::size_t most_;
  std::size_t pos_ = 0;
};

// A list file without line ends (an endless device in the worst case) was read into
// one line as long as the file.
TEST(ListFileLines, ALineIsKeptUpToItsLimitAndTheRestSkipped) {
  const std::string longLine = std::string(kMaxLineBytes, 'k') + std::string(150000, 's');
  TextSource reader(longLine + "\nnext/\r\n" + longLine);
  EXPECT_EQ(reader.ReadLine(), std::string(kMaxLineBytes, 'k'));
  EXPECT_EQ(reader.ReadLine(), "next/");
  EXPECT_EQ(reader.ReadLine(), std::string(kMaxLineBytes, 'k'));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.ReadFailed());
}

// A pipe hands over a UTF-16 file a byte at a time: the byte-order mark, units and
// surrogate pairs come in pieces. A surrogate without its other half keeps its value,
// and an odd last byte becomes U+FFFD.
TEST(ListFileLines, Utf16ComesInPiecesAndStillReadsAsText) {
  const std::string little(
      "\xFF\xFE"
      "a\0/\0\r\0\n\0"
      "\x3D\xD8\x00\xDE"
      "\n\0"
      "\x00\xDC"
      "x\0"
      "\x3D\xD8"
      "\n\0"
      "z",
      25);
  for (const std::size_t most : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
    SCOPED_TRACE(most);
    TextSource reader(little, most);
    EXPECT_EQ(reader.ReadLine(), "a/");
    EXPECT_EQ(reader.ReadLine(), "\xF0\x9F\x98\x80");  // U+1F600 from its surrogate pair
    EXPECT_EQ(reader.ReadLine(), "\xED\xB0\x80x\xED\xA0\xBD");
    EXPECT_EQ(reader.ReadLine(), "\xEF\xBF\xBD");
    EXPECT_TRUE(reader.AtEnd());
  }
  TextSource big(std::string("\xFE\xFF\0a\0\n\xD8\x3D\xDE\x00", 10), 1);
  EXPECT_EQ(big.ReadLine(), "a");
  EXPECT_EQ(big.ReadLine(), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(big.AtEnd());
}

// Extension keys went to the terminal byte for byte: a file named "x.\x1b(0" switched
// the terminal to line-drawing characters for good.
TEST(TerminalSafe, ShowsEveryControlCharacterAsOneQuestionMark) {
  const struct {
    std::string_view text;
    std::string_view shown;
  } cases[] = {
      {"\x1B(0", "?(0"},
      {"\x0E", "?"},
      {std::string_view("\0\n\r", 3), "???"},
      {"A\x7F", "A?"},
      {"\xC2\x9B", "?"},             // U+009B, the one-character CSI, in UTF-8
      {"\xC2\x80x\xC2\x9F", "?x?"},  // the first and last of those controls
      {"\x9B", "\xEF\xBF\xBD"},  // a CSI byte that is no UTF-8 shows as U+FFFD, as every such byte
      {"\x9B\xC3\xA9", "\xEF\xBF\xBD\xC3\xA9"},
      {"\xE9\x80\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"TXT", "TXT"},
      {"\xC3\xA9\xC2\xA0", "\xC3\xA9\xC2\xA0"},  // é and a no-break space stay
      {"\xD0\xB4\xD0\xBE\xD0\xBA", "\xD0\xB4\xD0\xBE\xD0\xBA"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalSafe(c.text), c.shown) << ::testing::PrintToString(std::string(c.text));
  }
}

}  // namespace
}  // namespace zovu

namespace zovu {
namespace {

// One directory "/r" holding a file and two subdirectories; the file system fails as
// told, out of resources or not.
class FailingFileSystem final : public FileSystem {
 public:
  bool failStart = false;
  bool failList = false;
  bool subdirsExhausted = false;  // opening "sub" fails for want of handles

  struct Reader final : DirectoryReader {
    explicit Reader(bool f) : fail(f) {}
    ListResult List(const OpenDirectory&, EntryDetails, ListingSink& sink) override {
      for (const auto& [name, attr] : {std::pair<const char*, std::uint32_t>{"a.txt", 0},
                                       {"sub", kAttrDirectory},
                                       {"locked", kAttrDirectory}}) {
        ListedEntry entry{name, attr, 0, 0, 0};
        sink.Entry(entry);
      }
      return fail ? ListOutcome::kExhausted : ListOutcome::kComplete;
    }
    bool fail;
  };

  std::string ExpandPath(std::string_view path) override { return std::string(path); }
  OpenedDirectory OpenStart(std::string_view) override {
    if (failStart) return {nullptr, OpenOutcome::kExhausted};
    return {std::make_unique<OpenDirectory>(), OpenOutcome::kOpened};
  }
  OpenedDirectory OpenChild(const OpenDirectory&, std::string_view name) override {
    return {nullptr,
            name == "sub" && subdirsExhausted ? OpenOutcome::kExhausted : OpenOutcome::kRefused};
  }
  DirectoryIdentity Identify(const OpenDirectory&) override { return {}; }
  std::unique_ptr<DirectoryReader> NewReader() override {
    return std::make_unique<Reader>(failList);
  }
  HandlePlan PlanHandles(std::size_t threads) override { return {threads, SIZE_MAX}; }
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view) override {
    return MarkCurrentDirectory();
  }
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override {
    return std::make_unique<DirectoryMark>();
  }
  bool ReturnTo(const DirectoryMark&) override { return true; }
  OpenedTextFile OpenTextFile(std::string_view) override { return {}; }
};

// A directory the walk could not enter or list for want of file handles was skipped
// silently, and the short count reported as a success.
TEST(FileSearch, ADirectorySkippedForWantOfResourcesIsAnError) {
  const struct {
    const char* what;
    void (*breakIt)(FailingFileSystem&);
    std::int64_t entries;
    bool errors;
  } cases[] = {
      {"subdirectories that may not be entered", [](FailingFileSystem&) {}, 3, false},
      {"out of handles entering one", [](FailingFileSystem& f) { f.subdirsExhausted = true; }, 3,
       true},
      {"out of handles listing", [](FailingFileSystem& f) { f.failList = true; }, 3, true},
      {"out of handles at the start", [](FailingFileSystem& f) { f.failStart = true; }, 0, true},
  };
  for (const auto& c : cases) {
    FailingFileSystem fileSystem;
    c.breakIt(fileSystem);
    testing::RecordingCallbacks callbacks;
    testing::QuietWatcher watcher;
    const WalkResult result =
        WalkTree(fileSystem, "/r", MaskList("*.*"), testing::Options(true), callbacks, watcher);
    EXPECT_EQ(result.entries, c.entries) << c.what;
    EXPECT_EQ(result.errors, c.errors) << c.what;
  }
}

}  // namespace
}  // namespace zovu
