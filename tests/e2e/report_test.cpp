#include <gtest/gtest.h>

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
  EXPECT_EQ(result.out,
            "+=======================================================================+\n"
            "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
            "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n"
            "|     .    2| C   .    1| GZ  .    1| HTM .    1| PRO .    1| TXT .    2|\n"
            "| док .    1|     .     |     .     |     .     |     .     |     .     |\n"
            "+=======================================================================+\n"
            "9 matches found!\n");
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace zovu::testing
