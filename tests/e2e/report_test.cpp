#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

// Sets ZOVU_THREADS for the programs started while it lives; nothing is unset.
class ThreadSetting {
 public:
  explicit ThreadSetting(const char* threads) {
    if (threads != nullptr) {
      ::setenv("ZOVU_THREADS", threads, 1);
    } else {
      ::unsetenv("ZOVU_THREADS");
    }
  }
  ~ThreadSetting() { ::unsetenv("ZOVU_THREADS"); }
  ThreadSetting(const ThreadSetting&) = delete;
  ThreadSetting& operator=(const ThreadSetting&) = delete;
};

// A tree of random names, depths and sizes, with the entries the walk must skip.
void MakeRandomTree(const TempDir& dir, std::mt19937& random) {
  const std::vector<std::string> extensions = {"c", "H",   "txt",     "Txt", "tar.gz", "",
                                               ".", "док", "日本語x", "md",  "x\xE9y", "cpp"};
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  std::vector<std::string> dirs = {"tree"};
  for (int i = 0; i < 40; ++i) {
    const std::string parent = dirs[pick(dirs.size())];
    dirs.push_back(parent + "/d" + std::to_string(i) + (pick(4) == 0 ? ".ext" : ""));
    dir.Dir(dirs.back());
  }
  for (int i = 0; i < 400; ++i) {
    const std::string& ext = extensions[pick(extensions.size())];
    const std::string name = (pick(8) == 0 ? "." : "") + std::string("f") + std::to_string(i) +
                             (ext.empty() ? "" : "." + ext);
    dir.File(dirs[pick(dirs.size())] + "/" + name, std::string(pick(3000), 'x'));
  }
  // One large directory: its lookups are shared among the threads in batches.
  for (int i = 0; i < 300; ++i) {
    const std::string& ext = extensions[pick(extensions.size())];
    dir.File("tree/flat/g" + std::to_string(i) + (ext.empty() ? "" : "." + ext),
             std::string(pick(3000), 'x'));
  }
  dir.File("tree/.git/skipped.c", "never counted");
  dir.File(dirs[pick(dirs.size())] + "/_fossil_", "never counted");
}

TEST(Report, TheSameWhateverTheNumberOfThreads) {
  for (const unsigned seed : {1u, 2u}) {
    TempDir dir;
    std::mt19937 random(seed);
    MakeRandomTree(dir, random);
    // The lines of a list file are walked side by side by one set of threads.
    dir.File("lines.lst", "tree/*.c\ntree/\ntree/*.txt,*.md\ntree/*.H\n");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-S+", "tree/"},
                                               {"-S+", "-T", "tree/"},
                                               {"-S+", "tree/*.c,?1*.*"},
                                               {"-T", "-S+", "tree/*."},
                                               {"-S+", "-T", "@lines.lst"},
                                               {"-S+", "--disk-usage", "tree/"},
                                               {"-T", "tree/flat/"},
                                               {"tree/"}}) {
      ProcessResult one;
      {
        const ThreadSetting threads("1");
        one = RunZovu(args, dir.path());
      }
      EXPECT_EQ(one.exitStatus, 0) << seed;
      for (const char* threads : {static_cast<const char*>(nullptr), "3"}) {
        const ThreadSetting setting(threads);
        const ProcessResult many = RunZovu(args, dir.path());
        EXPECT_EQ(many.out, one.out) << seed << " " << (threads ? threads : "default");
        EXPECT_EQ(many.exitStatus, one.exitStatus);
      }
    }
  }
}

// Sizes add up in 128 bits: two files of 2^63 - 1 and 1 bytes total exactly 2^63, which
// widens its row like any number wider than its field.
TEST(Report, ByteTotalsNeverWrap) {
  // Only tmpfs takes a (sparse) file of 2^63 - 1 bytes.
  const std::filesystem::path shm = "/dev/shm/zovu-test-" + std::to_string(::getpid());
  std::error_code error;
  if (!std::filesystem::create_directory(shm, error)) GTEST_SKIP() << "no /dev/shm here";
  bool made = true;
  for (const auto& [name, size] : {std::pair<const char*, off_t>{"huge.img", INT64_MAX},
                                   std::pair<const char*, off_t>{"one.img", 1}}) {
    const int fd = ::open((shm / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    made = made && fd >= 0 && ::ftruncate(fd, size) == 0;
    ::close(fd);
  }
  const ProcessResult result = RunZovu({"-T", PathForProgram(shm) + "/"}, shm);
  std::filesystem::remove_all(shm, error);
  if (!made) GTEST_SKIP() << "/dev/shm takes no file of 2^63 - 1 bytes";
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(
      result.out,
      WithLineEnds("+=======================================================================+\n"
                   "| Ext . Total Byte Size | Ext . Total Byte Size | Ext . Total Byte Size |\n"
                   "+-----+-----------------+-----+-----------------+-----+-----------------+\n"
                   "| IMG .9223372036854775808|     .                 |     .                 |\n"
                   "+=======================================================================+\n"
                   "2 matches found!\n"));
}

TEST(Report, ThreadCountThatIsNoWholeNumberIsAProblem) {
  TempDir dir;
  const ThreadSetting threads("0");
  const ProcessResult result = RunZovu({"-S+", "."}, dir.path());
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            WithLineEnds("PROBLEM: ZOVU_THREADS must be a whole number from 1 to 256\n"));
}

}  // namespace
}  // namespace zovu::testing
