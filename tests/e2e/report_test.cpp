#include <gtest/gtest.h>

#include <string>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

TEST(Report, CountsTheFilesOfADirectoryByExtension) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.TXT", "c.c", "README", "notes.", ".profile",
                           "archive.tar.gz", "index.html", "документ.док"}) {
    dir.File(std::string("tree/") + name, "x");
  }
  dir.File("tree/sub/deeper.txt", "not counted without subdirectories");
  const ProcessResult result = RunZovu({"tree/"}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(
      result.out,
      WithLineEnds("+=======================================================================+\n"
                   "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
                   "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n"
                   "|     .    2| C   .    1| GZ  .    1| HTM .    1| PRO .    1| TXT .    2|\n"
                   "| док .    1|     .     |     .     |     .     |     .     |     .     |\n"
                   "+=======================================================================+\n"
                   "9 matches found!\n"));
  EXPECT_EQ(result.err, "");
}

TEST(Report, NoStatusLineWhenStandardErrorIsNotATerminal) {
  TempDir dir;
  for (int i = 0; i < 300; ++i) dir.File("files/f" + std::to_string(i) + ".txt");
  const ProcessResult result = RunZovu({"files/"}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  // No "Working", spinner or cleared line anywhere: the report alone.
  EXPECT_EQ(
      result.out,
      WithLineEnds("+=======================================================================+\n"
                   "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
                   "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n"
                   "| TXT .  300|     .     |     .     |     .     |     .     |     .     |\n"
                   "+=======================================================================+\n"
                   "300 matches found!\n"));
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace zovu::testing
