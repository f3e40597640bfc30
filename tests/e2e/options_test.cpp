#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/run_process.h"
#include "common/run_process_posix.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSaved = "Configuration successfully saved\n";
constexpr std::string_view kNotSaved = "PROBLEM: Could not save configuration file\n";
constexpr std::string_view kInvalidOption =
    "PROBLEM: Invalid option specified, run ZOVU for list of valid options\n";

// The stored form of the settings block, written out here on its own so that a change
// of the file format shows up: XOR with the seed followed by its left rotations.
constexpr std::string_view kSeed = "\x5A\xC3\x17\x8E\x61\xF4\x2B";

std::string Unscrambled(std::string bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t k = i % 255;
    bytes[i] = static_cast<char>(bytes[i] ^ kSeed[(k / 7 + k % 7) % 7]);
  }
  return bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(entry.path(), dir).string());
  }
  return names;
}

// Checks the saved block: identification, both switches and the checksum.
void ExpectSavedBlock(const fs::path& file, int subDirs, int totalSizes) {
  const std::string block = Unscrambled(ReadFile(file));
  ASSERT_EQ(block.size(), 29u);
  EXPECT_EQ(block[0], 24);
  EXPECT_EQ(block.substr(1, 24), "ZOVU settings block v1.0");
  EXPECT_EQ(block[25], subDirs);
  EXPECT_EQ(block[26], totalSizes);
  char sum = 0;
  for (std::size_t i = 0; i < 27; ++i) sum = static_cast<char>(sum ^ block[i]);
  EXPECT_EQ(block[27], sum);
  EXPECT_EQ(block[28], 0);
}

TEST(WriteOption, SavesTheSwitchesIntoZovuCfgAndMakesNoSearch) {
  TempDir dir;
  dir.File("a.txt", "x");
  ProcessResult result = RunZovu({"-S+", "-W"}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, WithLineEnds(kSaved));  // no summary line: nothing was searched
  EXPECT_EQ(result.err, "");
  ExpectSavedBlock(dir.path() / "zovu.cfg", 1, 0);

  // A second save replaces the copy in place.
  result = RunZovu({"-t", "-W", "-S+"}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, WithLineEnds(kSaved));
  ExpectSavedBlock(dir.path() / "zovu.cfg", 0, 1);
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"a.txt", "zovu.cfg"}));

  // The saved file is never read back: the usage text still shows the compiled default.
  result = RunZovu({}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(
      result.out.find(WithLineEnds("       * -S[\xC2\xB1] for subdirectory processing {-}\n")),
      std::string::npos);
}

TEST(WriteOption, TenSavesAtOnceLeaveOneBlockBehindTheOtherBytes) {
  // Many megabytes of other bytes, so that the saves search the file at the same time.
  // Their length is a multiple of the search's step of 4096 - 25 bytes, so a block added
  // behind them starts a chunk of the search, and the saves after the first find it.
  std::string other(std::size_t{8242} * 4071, '\0');
  for (std::size_t i = 0; i < other.size(); ++i) other[i] = static_cast<char>(i * 7 % 251);
  TempDir dir;
  const fs::path file = dir.File("zovu.cfg", other);
  std::vector<ProcessResult> results(10);
  std::vector<std::thread> saves;
  for (ProcessResult& result : results) {
    saves.emplace_back([&] { result = RunZovu({"-S+", "-W"}, dir.path()); });
  }
  for (std::thread& save : saves) save.join();
  for (const ProcessResult& result : results) {
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, WithLineEnds(kSaved));
    EXPECT_EQ(result.err, "");
  }
  const std::string after = ReadFile(file);
  ASSERT_EQ(after.size(), other.size() + 29) << "one block added, no more";
  EXPECT_TRUE(after.starts_with(other)) << "the other bytes are unchanged";
  const fs::path block = dir.File("block", after.substr(other.size()));
  ExpectSavedBlock(block, 1, 0);
}

TEST(WriteOption, NamesTheFileAfterTheProgramFileNotTheNameItWasStartedBy) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "Windows names a program by the path it was started from, link or not";
  }
  TempDir dir;
  const fs::path link = dir.Dir("bin") / "other";
  fs::create_symlink(ProgramFileUnderTest(), link);
  const fs::path work = dir.Dir("work");
  const ProcessResult result = RunZovuFile(link, {"-W"}, work);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, kSaved);
  EXPECT_EQ(Entries(work), std::set<std::string>{"zovu.cfg"});
  ExpectSavedBlock(work / "zovu.cfg", 0, 0);
}

TEST(WriteOption, TheFileIsNamedAfterTheProgramFileUpToItsFirstDot) {
  const std::string suffix = WindowsBinaryUnderTest() ? ".exe" : "";
  const struct {
    std::string program;
    std::string file;
  } cases[] = {
      // Characters outside the ANSI code page must survive on Windows too.
      {"Z\xC3\xA4hler \xE6\x97\xA5\xE6\x9C\xAC" + suffix,
       "Z\xC3\xA4hler \xE6\x97\xA5\xE6\x9C\xAC.cfg"},
      {"count.v2" + suffix, "count.cfg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    TempDir dir;
    const fs::path program = dir.Dir("bin.d") / c.program;
    fs::copy_file(ProgramFileUnderTest(), program);
    const fs::path work = dir.Dir("work");
    const ProcessResult result = RunZovuFile(program, {"-T+", "-W"}, work);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, WithLineEnds(kSaved));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(Entries(work), std::set<std::string>{c.file});
    ExpectSavedBlock(work / c.file, 0, 1);
  }
}

TEST(WriteOption, ADirectoryInThePlaceOfTheFileIsAProblemAndNothingChanges) {
  TempDir dir;
  dir.File("zovu.cfg/inside", "keep");
  const ProcessResult result = RunZovu({"-W"}, dir.path());
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(result.err, WithLineEnds(kNotSaved));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"zovu.cfg", "zovu.cfg/inside"}));
  EXPECT_EQ(ReadFile(dir.path() / "zovu.cfg/inside"), "keep");
}

// Runs zovu as the user nobody when the tests run as root, so that file permissions
// apply. The child reports through its exit status: 0 when the run gave the expected
// status and output.
int RunAsNobodyExpecting(const std::vector<std::string>& args, const fs::path& dir, int exitStatus,
                         std::string_view out, std::string_view err) {
  const std::string program = ProgramForOtherUsers();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
          ::setuid(nobody->pw_uid) != 0) {
        ::_exit(10);
      }
    }
    const ProcessResult result = RunProcess(program, args, dir);
    if (result.exitStatus != exitStatus) ::_exit(11);
    if (result.out != out) ::_exit(12);
    if (result.err != err) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(WriteOption, AReadOnlyFileIsAProblemAndStaysAsItWas) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "needs to run the program as nobody; Wine runs only as the owner of its "
                    "prefix, and as root it writes read-only files";
  }
  TempDir dir;
  const std::string content("\x00\x01 earlier bytes\xFF", 17);
  const fs::path file = dir.File("zovu.cfg", content);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir.path(),
                  fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                      fs::perms::others_exec,
                  fs::perm_options::add);
  EXPECT_EQ(RunAsNobodyExpecting({"-S+", "-W"}, dir.path(), 2, "", kNotSaved), 0)
      << "10: could not become nobody, 11: exit status, 12: standard output, 13: standard error";
  EXPECT_EQ(ReadFile(file), content);
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"zovu.cfg"});
}

std::string LastLine(const std::string& out) {
  if (out.empty() || out.back() != '\n') return "(no line end) " + out;
  const std::size_t start = out.rfind('\n', out.size() - 2);
  return out.substr(start == std::string::npos ? 0 : start + 1);
}

TEST(SwitchOptions, SteerTheSearch) {
  TempDir dir;
  dir.File("tree/a.txt", "1");
  dir.File("tree/b.c", "22");
  dir.File("tree/sub/c.txt", "333");
  dir.File("tree/sub/deep/d.h", "4444");
  dir.File("other/e.txt", "5");
  const std::string oneIgnored =
      "Note: 1 parameter after the search argument was ignored; quote masks, as in '*.h', so "
      "that the shell does not expand them\n";
  const std::string threeIgnored =
      "Note: 3 parameters after the search argument were ignored; quote masks, as in '*.h', "
      "so that the shell does not expand them\n";
  const struct {
    std::vector<std::string> args;
    std::string_view summary;
    std::string err;
  } cases[] = {
      {{"tree/"}, "2 matches found!\n", ""},
      {{"-S+", "tree/"}, "4 matches found!\n", ""},
      {{"tree/", "-S+"}, "4 matches found!\n", ""},
      {{"-S+", "tree/", "-s-"}, "2 matches found!\n", ""},
      {{"-T", "tree/"}, "2 matches found!\n", ""},
      {{"-t+", "-S+", "tree/"}, "4 matches found!\n", ""},
      // Only the first plain parameter is searched, as when the shell expanded a mask;
      // one line on standard error says so.
      {{"tree/", "other/"}, "2 matches found!\n", oneIgnored},
      {{"-S+", "tree/", "-", "", "tree/a.txt"}, "4 matches found!\n", threeIgnored},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += a + " ";
    const ProcessResult result = RunZovu(c.args, dir.path());
    EXPECT_EQ(result.exitStatus, 0) << label;
    EXPECT_EQ(LastLine(result.out), WithLineEnds(c.summary)) << label;
    EXPECT_EQ(result.out.find("Usage:"), std::string::npos) << label;
    EXPECT_EQ(result.err, WithLineEnds(c.err)) << label;
  }
}

TEST(SwitchOptions, AnOptionAloneSearchesTheCurrentDirectoryWithoutUsage) {
  TempDir dir;
  dir.File("a.txt");
  dir.File("sub/b.txt");
  const ProcessResult result = RunZovu({"-S+"}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(LastLine(result.out), WithLineEnds("2 matches found!\n"));
  EXPECT_EQ(result.out.find("Usage:"), std::string::npos);
}

TEST(InvalidOption, EndsTheRunWithTheProblemAndNoOutput) {
  TempDir dir;
  dir.File("a.txt");
  const std::string named = "PROBLEM: Invalid option specified: ";
  const std::string rest = ", run ZOVU for list of valid options\n";
  // Long options are written exactly so; -h and -V are no options of this program. An
  // unknown long option, or one with a value it does not take, is named.
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"-X"}, std::string(kInvalidOption)},
      {{"-S+", ".", "-q"}, std::string(kInvalidOption)},
      {{"-h"}, std::string(kInvalidOption)},
      {{"-V"}, std::string(kInvalidOption)},
      {{"a", "b", "-X", "--help"}, std::string(kInvalidOption)},
      {{"--HELP"}, named + "--HELP" + rest},
      {{"--help=all"}, named + "--help=all" + rest},
      {{"--vers"}, named + "--vers" + rest},
      {{"--"}, named + "--" + rest},
      {{"--threads=0"}, named + "--threads=0 (a whole number from 1 to 256)" + rest},
      {{"--exclude="}, named + "--exclude= (one or more masks)" + rest},
      {{"--format=xml"}, named + "--format=xml (box, list, csv or json)" + rest},
      {{"--sort=size", "--format=csv"}, named + "--sort=size (extension, files or bytes)" + rest},
      {{"--ext=4"}, named + "--ext=4 (3 or full)" + rest},
      {{"--sort=files", "."},
       "PROBLEM: --sort does not apply to the box table, whose order is fixed: add "
       "--format=list, csv or json\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = RunZovu(c.args, dir.path());
    EXPECT_EQ(result.exitStatus, 2) << c.args[0];
    EXPECT_EQ(result.err, WithLineEnds(c.err)) << c.args[0];
    EXPECT_EQ(result.out, "") << c.args[0];
  }
}

}  // namespace
}  // namespace zovu::testing
