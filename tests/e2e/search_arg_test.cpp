#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/temp_dir.h"
#include "e2e/search_outcome.h"

namespace zovu::testing {
namespace {

class SearchArgE2E : public ::testing::Test {
 protected:
  SearchArgE2E() {
    for (const char* name :
         {"src/a.c", "src/b.C", "src/c.h", "src/d.txt", "src/e.hpp", "src/sub/z.c", "readme",
          "README.txt", "ReadMe.md", "readme2.txt", "MAKEFILE", "makefile.old", "x.c", "y.old",
          "data/one.txt", "data/two.TXT", "data/three.text", "data/four", "sub/inner.c"}) {
      root.File(std::string("work/") + name, "x");
    }
    work = root.path() / "work";
  }

  TempDir root;
  std::filesystem::path work;
};

TEST_F(SearchArgE2E, ArgumentsSelectTheirFiles) {
  const std::string data = PathForProgram(work / "data");
  const struct {
    std::vector<std::string> args;
    std::int64_t matches;
    std::string note;  // the beginning of the one line on standard error, if any
  } cases[] = {
      {{"src/*.c,*.h"}, 3, ""},  // a.c, b.C, c.h; the subdirectory is not walked
      {{"src/"}, 5, ""},
      // The mask src.* in the current directory; a note suggests the separator.
      {{"src"},
       0,
       WithLineEnds("Note: nothing matched src.* in " + PathForProgram(work) +
                    "; to search the directory src itself, end it with a separator: zovu src" +
                    (WindowsBinaryUnderTest() ? "\\" : "/") + "\n")},
      {{"readme"}, 3, ""},
      {{"MAKEFILE"}, 2, ""},
      {{data + "/.txt"}, 2, ""},
      {{"data/.txt"}, 2, ""},
      {{data + "//"}, 4, ""},
      {{"*.c;old"}, 1, ""},
      {{"*.c,*.old"}, 3, ""},
      {{"*."}, 2, ""},
      {{"."}, 8, ""},
      // A start directory that cannot be entered yields nothing; a note names it.
      {{"missing/"}, 0, UnenteredNote(work / "missing")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    ExpectOutcome(RunZovu(c.args, work), c.matches, false, c.note);
  }
}

TEST_F(SearchArgE2E, ParentFromASubdirectory) {
  ExpectOutcome(RunZovu({".."}, work / "sub"), 8, false);
  ExpectOutcome(RunZovu({"..,*.c"}, work / "sub"), 3, false);  // "..": files without a dot
}

TEST_F(SearchArgE2E, StartPathLongerThanAnyShortLimit) {
  std::string deep = "work";
  for (char fill : {'p', 'q', 'r', 's', 't', 'u'}) deep += "/" + LongName(fill, 50);
  root.File(deep + "/f1.c", "x");
  root.File(deep + "/f2.c", "x");
  root.File(deep + "/f3.h", "x");
  const std::string relative = deep.substr(5);
  ASSERT_GT(relative.size(), 255u);
  ExpectOutcome(RunZovu({relative + "/*.c"}, work), 2, false);
  ExpectOutcome(RunZovu({PathForProgram(root.path() / deep) + "/"}, work), 3, false);
}

// The system opens no path longer than 4096 bytes in one piece; a start directory whose
// absolute path is longer is opened a component at a time.
TEST(StartPath, ACurrentDirectoryDeeperThanTheSystemOpensInOnePiece) {
  if (WindowsBinaryUnderTest()) GTEST_SKIP() << "Windows takes such paths only where enabled";
  TempDir dir;
  const std::string level = LongName('d', 200);
  constexpr int kDepth = 21;  // over 4200 bytes below the temporary directory
  const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(::mkdir(level.c_str(), 0755), 0);
    ASSERT_EQ(::chdir(level.c_str()), 0);
  }
  for (const char* name : {"a.c", "b.c", "x.txt"}) ::close(::creat(name, 0644));
  ExpectOutcome(RunZovu({"./"}, "."), 3, false);
  ExpectOutcome(RunZovu({"*.c"}, "."), 2, false);
  // The temporary directory cannot remove what lies deeper than the system opens.
  for (const char* name : {"a.c", "b.c", "x.txt"}) ::unlink(name);
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(::chdir(".."), 0);
    ::rmdir(level.c_str());
  }
  ASSERT_EQ(::fchdir(back), 0);
  ::close(back);
}

}  // namespace
}  // namespace zovu::testing
