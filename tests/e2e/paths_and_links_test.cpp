// How the program meets the file system, the same through either build: names outside
// ASCII, both separators, links, start directories that do not exist.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

constexpr const char* kNothingFound =
    "+=======================================================================+\n"
    "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
    "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n"
    "+=======================================================================+\n"
    "0 matches found!\n";

// The last line of the report, its line end included: the summary line.
std::string LastLine(const std::string& out) {
  const std::string lineEnd = WithLineEnds("\n");
  if (out.size() < lineEnd.size()) return out;
  const std::size_t previousEnd = out.rfind(lineEnd, out.size() - lineEnd.size() - 1);
  return previousEnd == std::string::npos ? out : out.substr(previousEnd + lineEnd.size());
}

TEST(PathsAndLinks, NamesOutsideAsciiReachTheProgramAndBack) {
  TempDir tree;
  const std::string dir =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC";
  tree.File(dir + "/a.txt");
  tree.File(dir + "/\xE6\x97\xA5\xE6\x9C\xAC.txt");
  tree.File(dir + "/b.c");
  tree.File(dir + "/sub/c.txt");  // not entered without -S
  const ProcessResult result = RunZovu({dir + "/"}, tree.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(LastLine(result.out), WithLineEnds("3 matches found!\n"));
  EXPECT_EQ(result.err, "");
}

TEST(PathsAndLinks, BackslashSeparatesDirectoriesOnWindows) {
  if (!WindowsBinaryUnderTest()) GTEST_SKIP() << "\"\\\" is an ordinary character on POSIX";
  TempDir tree;
  tree.File("src/a.txt");
  tree.File("src/b.txt");
  const ProcessResult result = RunZovu({"src\\"}, tree.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(LastLine(result.out), WithLineEnds("2 matches found!\n"));
}

TEST(PathsAndLinks, ALinkToADirectoryIsCountedAsAnEntryOfItsOwn) {
  TempDir tree;
  tree.File("top/real/x.txt");
  tree.File("top/real/y.txt");
  tree.File("top/file.txt");
  std::filesystem::create_directory_symlink("real", tree.path() / "top" / "link");
  // Directories are not counted, so the link counts only if it is not taken for one.
  const ProcessResult result = RunZovu({"top/"}, tree.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(LastLine(result.out), WithLineEnds("2 matches found!\n"));
  EXPECT_EQ(result.err, "");
}

TEST(PathsAndLinks, AStartDirectoryThatDoesNotExistFindsNothingWithoutError) {
  TempDir tree;
  const ProcessResult result = RunZovu({"missing/"}, tree.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, WithLineEnds(kNothingFound));
  EXPECT_TRUE(result.err.starts_with("Note: the start directory ")) << result.err;
}

TEST(PathsAndLinks, ADriveThatDoesNotExistFindsNothingWithoutError) {
  if (!WindowsBinaryUnderTest()) GTEST_SKIP() << "drive letters exist only on Windows";
  TempDir tree;
  // Q: is not among the drives of the test prefix (C:, Y: and Z:).
  const ProcessResult result = RunZovu({"Q:\\"}, tree.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, WithLineEnds(kNothingFound));
  EXPECT_TRUE(result.err.starts_with("Note: the start directory Q:\\ could not be entered: "))
      << result.err;
}

}  // namespace
}  // namespace zovu::testing
