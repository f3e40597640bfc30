// The byte files of the configuration file writer and the program's own path, on this
// machine's real file system (POSIX calls or Win32 calls, whichever the build has).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/system.h"

namespace zovu {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirScope;
using testing::TempDir;

fs::path FromUtf8(std::string_view name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

std::string Content(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Reads count bytes at offset, as text; "(failed)" when seeking or reading fails.
std::string ReadAt(BlockFile& file, std::int64_t offset, std::size_t count) {
  std::vector<std::uint8_t> buffer(count);
  if (!file.Seek(offset)) return "(failed)";
  const std::optional<std::size_t> got = file.Read(buffer);
  if (!got) return "(failed)";
  return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*got));
}

// Files are opened by relative name in the current directory, as -W does.
struct InTempDir {
  TempDir dir;
  CurrentDirScope inside{dir.path()};
  System system = OpenSystem();
  BlockFileOpener& opener = *system.blockFiles;
};

TEST(BlockFile, CreatesAMissingFileEmpty) {
  InTempDir t;
  std::unique_ptr<BlockFile> file = t.opener.Open("new.cfg");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 0);
  EXPECT_EQ(ReadAt(*file, 0, 4), "");
  EXPECT_EQ(file->Write(Bytes("abc")), 3u);
  EXPECT_EQ(file->Size(), 3);
  EXPECT_TRUE(file->Close());
  EXPECT_TRUE(file->Close());  // a second close has nothing left to do
  EXPECT_EQ(Content(t.dir.path() / "new.cfg"), "abc");
}

TEST(BlockFile, KeepsAnExistingFilesBytesAndChangesOnlyWhatIsWritten) {
  InTempDir t;
  t.dir.File("old.cfg", "0123456789");
  {
    std::unique_ptr<BlockFile> file = t.opener.Open("old.cfg");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), 10);
  }  // closed by its destructor, unchanged
  EXPECT_EQ(Content(t.dir.path() / "old.cfg"), "0123456789");

  std::unique_ptr<BlockFile> file = t.opener.Open("old.cfg");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Seek(4));
  EXPECT_EQ(file->Write(Bytes("XY")), 2u);
  EXPECT_EQ(ReadAt(*file, 3, 4), "3XY6");
  EXPECT_EQ(ReadAt(*file, 8, 4), "89");  // cut short by the end of the file
  EXPECT_EQ(ReadAt(*file, 20, 4), "");   // past the end
  EXPECT_FALSE(file->Seek(-1));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Content(t.dir.path() / "old.cfg"), "0123XY6789");
}

TEST(BlockFile, TruncateCutsTheFileAndKeepsThePosition) {
  InTempDir t;
  t.dir.File("cut.cfg", "0123456789");
  std::unique_ptr<BlockFile> file = t.opener.Open("cut.cfg");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Seek(8));
  EXPECT_TRUE(file->Truncate(3));
  EXPECT_EQ(file->Size(), 3);
  EXPECT_FALSE(file->Truncate(-1));
  // The next write lands at offset 8, behind a gap of zero bytes.
  EXPECT_EQ(file->Write(Bytes("ab")), 2u);
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Content(t.dir.path() / "cut.cfg"), std::string("012\0\0\0\0\0ab", 10));
}

TEST(BlockFile, RefusesADirectoryOfThatName) {
  InTempDir t;
  t.dir.File("zovu.cfg/inside", "keep");
  EXPECT_EQ(t.opener.Open("zovu.cfg"), nullptr);
  EXPECT_TRUE(fs::is_directory(t.dir.path() / "zovu.cfg"));
  EXPECT_EQ(Content(t.dir.path() / "zovu.cfg/inside"), "keep");
}

TEST(BlockFile, OffsetsAndSizesPastFourGibibytes) {
  InTempDir t;
  constexpr std::int64_t kFar = (std::int64_t{5} << 30) + 7;
  std::unique_ptr<BlockFile> file = t.opener.Open("big.cfg");
  ASSERT_NE(file, nullptr);
  // Writing far out leaves a hole that takes no disk space where the file system can.
  ASSERT_TRUE(file->Seek(kFar));
  EXPECT_EQ(file->Write(Bytes("Z")), 1u);
  EXPECT_EQ(file->Size(), kFar + 1);
  EXPECT_EQ(ReadAt(*file, kFar - 1, 4), std::string("\0Z", 2));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(fs::file_size(t.dir.path() / "big.cfg"), static_cast<std::uintmax_t>(kFar + 1));
}

TEST(BlockFile, NamesOutsideAsciiAreKept) {
  InTempDir t;
  const std::string name = "Z\xC3\xA4hler \xE2\x82\xAC\xE6\x97\xA5\xE6\x9C\xAC.cfg";
  std::unique_ptr<BlockFile> file = t.opener.Open(name);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Write(Bytes("x")), 1u);
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Content(t.dir.path() / FromUtf8(name)), "x");
}

TEST(ProgramPath, NamesTheRunningTestProgram) {
  const System system = OpenSystem();
  const fs::path path = FromUtf8(system.programPath);
  EXPECT_TRUE(path.is_absolute()) << system.programPath;
  EXPECT_TRUE(fs::is_regular_file(path)) << system.programPath;
  EXPECT_EQ(path.stem(), "zovu_unit_tests");
}

}  // namespace
}  // namespace zovu
