#include "support/config_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/block_scramble.h"
#include "common/memory_block_files.h"

namespace zovu {
namespace {

using testing::Bytes;
using testing::MemoryBlockFiles;
using testing::Scrambled;

constexpr std::string_view kId = "TEST identification 0123";  // 24 bytes, like the settings id

// A block with the identification id, the given data and two checksum bytes that hold
// a value other than the checksum.
Bytes MakeBlock(std::string_view id, Bytes data) {
  Bytes block(1 + id.size() + data.size() + 2, 0xEE);
  block[0] = static_cast<std::uint8_t>(id.size());
  std::copy(id.begin(), id.end(), block.begin() + 1);
  std::copy(data.begin(), data.end(), block.begin() + 1 + static_cast<std::ptrdiff_t>(id.size()));
  return block;
}

// The block as SaveBlock leaves it: its checksum filled in.
Bytes WithChecksum(Bytes block) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 2 < block.size(); ++i) sum ^= block[i];
  block[block.size() - 2] = sum;
  block[block.size() - 1] = 0;
  return block;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Filler(std::size_t n, std::uint8_t value = 0) {
  return Bytes(n, value);
}

TEST(SaveBlock, FirstSaveCreatesTheScrambledBlockAndLeavesTheCallersBlockPlain) {
  MemoryBlockFiles files;
  Bytes block = MakeBlock("abc", {0x10});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
  // 3 ^ 'a' ^ 'b' ^ 'c' ^ 0x10 = 0x73; only the two checksum bytes changed.
  const Bytes plain{3, 'a', 'b', 'c', 0x10, 0x73, 0x00};
  EXPECT_EQ(block, plain);
  EXPECT_EQ(files.files["t.cfg"], (Bytes{0x59, 0xA2, 0x75, 0xED, 0x71, 0x87, 0x2B}));
  EXPECT_EQ(files.opened, std::vector<std::string>{"t.cfg"});
  EXPECT_FALSE(files.usedUnlocked);
}

TEST(SaveBlock, TheKeyStartsAgainAfter255Bytes) {
  MemoryBlockFiles files;
  Bytes block = MakeBlock(kId, Filler(300, 0xA5));
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
  const Bytes& saved = files.files["t.cfg"];
  EXPECT_EQ(saved, Scrambled(block));
  ASSERT_EQ(saved.size(), 327u);
  // Byte 254 takes the third byte of rotation 36, the seed's fourth; byte 255 the seed's
  // first again.
  EXPECT_EQ(saved[254], 0xA5 ^ 0x8E);
  EXPECT_EQ(saved[255], 0xA5 ^ 0x5A);
}

TEST(SaveBlock, SecondSaveReplacesTheCopyInPlace) {
  MemoryBlockFiles files;
  Bytes first = MakeBlock(kId, {1, 0});
  Bytes second = MakeBlock(kId, {0, 1});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, first), SaveResult::kSaved);
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, second), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Scrambled(WithChecksum(MakeBlock(kId, {0, 1}))));
}

TEST(SaveBlock, AddsTheBlockBehindBytesThatHoldNoCopy) {
  for (const Bytes& before : {Bytes{}, Filler(100, 0x55), Filler(5000, 0x55)}) {
    MemoryBlockFiles files;
    files.files["t.cfg"] = before;
    Bytes block = MakeBlock(kId, {1, 1});
    ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
    EXPECT_EQ(files.files["t.cfg"], Concat({before, Scrambled(block)})) << before.size();
  }
}

TEST(SaveBlock, OccurrenceZeroAddsACopyEveryTime) {
  MemoryBlockFiles files;
  Bytes block = MakeBlock(kId, {1, 0});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 0, block), SaveResult::kSaved);
  ASSERT_EQ(SaveBlock(files, "t.cfg", 0, block), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Concat({Scrambled(block), Scrambled(block)}));
}

TEST(SaveBlock, SecondOccurrenceIsLookedForFromTheLastIdentificationByteOfTheFirst) {
  // The search goes on at offset 24, the first copy's last identification byte, and
  // from there only a copy at 24 + 255 lines up with the key.
  const Bytes copy = Scrambled(WithChecksum(MakeBlock(kId, {0, 0})));
  MemoryBlockFiles files;
  files.files["t.cfg"] = Concat({copy, Filler(279 - copy.size()), copy});
  Bytes block = MakeBlock(kId, {1, 1});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 2, block), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Concat({copy, Filler(279 - copy.size()), Scrambled(block)}));
}

TEST(SaveBlock, ReplacesOnlyCopiesThatLineUpWithTheKeyInSomeChunk) {
  // Chunks begin at 0, 4071, 8142; a copy is seen when it starts a multiple of 255 bytes
  // into a chunk and its identification ends before the chunk's last byte. A copy not
  // seen is kept, and the block added at the end. (The tests below take a copy at 4071,
  // seen in the second chunk, and one at 10, seen in none.)
  const struct {
    std::size_t offset;
    bool seen;
  } cases[] = {
      // Lined up with a chunk.
      {0, true},
      {255, true},
      {3825, true},
      {4326, true},
      {8142, true},
      // Lined up with the first chunk, but cut off by its end.
      {4080, false},
  };
  const Bytes old = Scrambled(WithChecksum(MakeBlock(kId, {1, 0})));
  for (const auto& c : cases) {
    MemoryBlockFiles files;
    const Bytes before = Concat({Filler(c.offset), old, Filler(50)});
    files.files["t.cfg"] = before;
    Bytes block = MakeBlock(kId, {0, 1});
    ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved) << c.offset;
    const Bytes expected = c.seen ? Concat({Filler(c.offset), Scrambled(block), Filler(50)})
                                  : Concat({before, Scrambled(block)});
    EXPECT_EQ(files.files["t.cfg"], expected) << c.offset;
  }
}

TEST(SaveBlock, ReplacesACopySpanningTwoChunks) {
  MemoryBlockFiles files;
  const Bytes old = Scrambled(WithChecksum(MakeBlock(kId, {0, 0})));
  files.files["t.cfg"] = Concat({Filler(4071), old, Filler(50)});
  Bytes block = MakeBlock(kId, {1, 1});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Concat({Filler(4071), Scrambled(block), Filler(50)}));
}

TEST(SaveBlock, AnUnalignedCopyIsKeptAndAnotherAdded) {
  MemoryBlockFiles files;
  const Bytes old = Scrambled(WithChecksum(MakeBlock(kId, {0, 0})));
  files.files["t.cfg"] = Concat({Filler(10), old});
  Bytes block = MakeBlock(kId, {1, 1});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Concat({Filler(10), old, Scrambled(block)}));
}

TEST(SaveBlock, AFileOfTheIdentificationLengthOrLessNeverMatches) {
  // The identification must have a byte of the file behind it to be seen.
  const Bytes plainId{'a', 'b', 'c'};
  for (const Bytes& content :
       {Scrambled(plainId), Scrambled(Bytes{'a', 'b'}), Scrambled(Bytes{3, 'a', 'b', 'c'})}) {
    MemoryBlockFiles files;
    files.files["t.cfg"] = content;
    Bytes block = MakeBlock("abc", {});
    ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
    EXPECT_EQ(files.files["t.cfg"], Concat({content, Scrambled(block)})) << content.size();
  }
  MemoryBlockFiles files;
  files.files["t.cfg"] = Scrambled(Bytes{3, 'a', 'b', 'c', 0});
  Bytes block = MakeBlock("abc", {});
  ASSERT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kSaved);
  EXPECT_EQ(files.files["t.cfg"], Scrambled(block));
}

TEST(SaveBlock, FailuresLeaveTheBlockAndReportWhatWentWrong) {
  const Bytes plain = MakeBlock(kId, {1, 0});
  const Bytes existing = Concat({Filler(40, 7), Scrambled(WithChecksum(MakeBlock(kId, {0, 0})))});
  const struct {
    const char* what;
    void (*breakFiles)(MemoryBlockFiles&);
    SaveResult result;
    bool checksumStored;
  } cases[] = {
      {"open", [](MemoryBlockFiles& f) { f.failOpen = true; }, SaveResult::kNotSaved, false},
      {"size", [](MemoryBlockFiles& f) { f.failSize = true; }, SaveResult::kReadFailed, false},
      {"read", [](MemoryBlockFiles& f) { f.failRead = true; }, SaveResult::kReadFailed, false},
      {"seek", [](MemoryBlockFiles& f) { f.failSeek = true; }, SaveResult::kNotSaved, true},
      {"short write", [](MemoryBlockFiles& f) { f.writeLimit = 28; }, SaveResult::kNotSaved, true},
      {"lock", [](MemoryBlockFiles& f) { f.failLock = true; }, SaveResult::kNotSaved, false},
  };
  for (const auto& c : cases) {
    MemoryBlockFiles files;
    files.files["t.cfg"] = existing;
    c.breakFiles(files);
    Bytes block = plain;
    EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), c.result) << c.what;
    EXPECT_EQ(block, c.checksumStored ? WithChecksum(plain) : plain) << c.what;
    // A short write over the copy is undone too: the file is always as it was.
    EXPECT_EQ(files.files["t.cfg"], existing) << c.what;
    EXPECT_FALSE(files.usedUnlocked) << c.what;
  }
}

TEST(SaveBlock, AFirstSaveThatFailsLeavesNoFile) {
  const struct {
    const char* what;
    void (*breakFiles)(MemoryBlockFiles&);
  } cases[] = {
      {"seek", [](MemoryBlockFiles& f) { f.failSeek = true; }},
      {"short write", [](MemoryBlockFiles& f) { f.writeLimit = 28; }},
      {"lock", [](MemoryBlockFiles& f) { f.failLock = true; }},
  };
  for (const auto& c : cases) {
    MemoryBlockFiles files;
    c.breakFiles(files);
    Bytes block = MakeBlock(kId, {1, 0});
    EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved) << c.what;
    EXPECT_EQ(files.files.count("t.cfg"), 0u) << c.what;
  }
  // A file that was there before stays, empty as it was.
  MemoryBlockFiles files;
  files.files["t.cfg"] = {};
  files.writeLimit = 0;
  Bytes block = MakeBlock(kId, {1, 0});
  EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved);
  EXPECT_EQ(files.files.count("t.cfg"), 1u);
}

TEST(SaveBlock, AShortWriteOfACopyThatRanPastTheEndPutsTheFileBack) {
  // The copy's identification has one byte behind it, so the block reaches past the end.
  Bytes part = WithChecksum(MakeBlock(kId, {0, 0}));
  part.resize(26);
  const Bytes existing = Scrambled(part);
  for (const std::size_t limit : {std::size_t{0}, std::size_t{27}}) {
    MemoryBlockFiles files;
    files.files["t.cfg"] = existing;
    files.writeLimit = limit;
    Bytes block = MakeBlock(kId, {1, 1});
    EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved) << limit;
    EXPECT_EQ(files.files["t.cfg"], existing) << limit;
  }
}

TEST(SaveBlock, RefusesABlockWithNoRoomForTheChecksumBehindTheIdentification) {
  MemoryBlockFiles files;
  Bytes block{3, 'a', 'b', 'c', 0};
  EXPECT_EQ(SaveBlock(files, "t.cfg", 1, block), SaveResult::kNotSaved);
  EXPECT_TRUE(files.opened.empty());
  EXPECT_EQ(block, (Bytes{3, 'a', 'b', 'c', 0}));
}

class FakeExpander final : public PathExpander {
 public:
  std::string ExpandPath(std::string_view path) override {
    if (path == "zovu/..") return "/home/u";
    if (!path.empty() && (path.front() == '/' || path.find(':') != std::string_view::npos)) {
      return std::string(path);
    }
    return "/home/u/" + std::string(path);
  }
};

TEST(BaseFileName, IsTheLastComponentUpToItsFirstDot) {
  const struct {
    PathStyle style;
    std::string_view path;
    std::string_view name;
  } cases[] = {
      {PathStyle::kPosix, "/usr/local/bin/zovu", "zovu"},
      {PathStyle::kPosix, "/x/my.tool.bin", "my"},
      {PathStyle::kPosix, "/My.Tools/count", "count"},
      {PathStyle::kPosix, "/x/.hidden", ""},
      {PathStyle::kPosix, "bin/zovu", "zovu"},
      {PathStyle::kPosix, "zovu/..", "u"},
      {PathStyle::kPosix, "/a\\b.c", "a\\b"},
      {PathStyle::kWindows, "C:\\My.Tools\\count.exe", "count"},
      {PathStyle::kWindows, "C:\\x\\my.tool.exe", "my"},
      {PathStyle::kWindows, "C:\\x\\count", "count"},
      {PathStyle::kWindows, "C:/x/a.b", "a"},
      {PathStyle::kWindows, "C:count.exe", "count"},
  };
  FakeExpander expander;
  for (const auto& c : cases) {
    EXPECT_EQ(BaseFileName(c.path, c.style, expander), c.name) << c.path;
  }
}

}  // namespace
}  // namespace zovu
