// Trees and environments that a file system can hand the program: odd names, a huge
// directory, entries that are no regular files, directories it may not read, a start
// path that is a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/deep_tree_posix.h"
#include "common/pty_process_posix.h"
#include "common/temp_dir.h"
#include "e2e/hostile_run.h"
#include "e2e/search_outcome.h"

namespace zovu::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Names that are legal on the file system but awkward everywhere else.
const std::vector<std::string> kOddNames = {
    "new\nline.txt",
    "ctl\x01\x1b[31m\x07.txt"s,
    "tab\there.TXT",
    "bad\xFF\xFE utf8.txt",
    "\xE9t\xE9.c",
    std::string(251, 'L') + ".txt",  // 255 bytes, the longest name there is
    " lead and trail .c ",
    "-dash.c",
    "@at.c",
    "star*.c",
    "q?.c",
    "semi;colon.c",
    "comma,name.c",
    "back\\slash.c",
    "\"quoted\".c",
    ".hidden",
    "trailing.",
};

TEST(OddNames, EveryNameIsFoundOnceAndSelectedByItsMasks) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "names with control characters, \\, *, ?, \", trailing dots or blanks, or "
                    "bytes that form no UTF-8 exist only on POSIX (the next test has names "
                    "Windows allows)";
  }
  TempDir dir;
  for (const std::string& name : kOddNames) dir.File("odd/" + name, "x");
  const fs::path odd = dir.path() / "odd";
  ExpectOutcome(RunZovuHostile({"."}, odd, {}), static_cast<std::int64_t>(kOddNames.size()), false);
  ExpectOutcome(RunZovuHostile({"-T", "*.txt"}, odd, {}), 5, false);
  ExpectOutcome(RunZovuHostile({"*.c "}, odd, {}), 1, false);  // the one ending in a blank
  // An odd name given as the search argument selects exactly that file.
  for (const std::string& name : {"ctl\x01\x1b[31m\x07.txt"s, "new\nline.txt"s,
                                  "bad\xFF\xFE utf8.txt"s, std::string(251, 'L') + ".txt"}) {
    SCOPED_TRACE(name);
    ExpectOutcome(RunZovuHostile({name}, odd, {}), 1, false);
  }
}

TEST(OddNames, NamesThatWindowsAllowsTooAreFoundOnceAndSelectedByTheirMasks) {
  const std::vector<std::string> names = {
      " lead.c",       "-dash.c",   "@at.c",   "semi;colon.c",
      "comma,name.c",  ".hidden",   "UPPER.C", "\xC3\xA9t\xC3\xA9.c",
      "two words.txt", "x.y.z.TXT", "noext",   std::string(251, 'L') + ".txt",
  };
  TempDir dir;
  for (const std::string& name : names) dir.File("odd/" + name, "x");
  const fs::path odd = dir.path() / "odd";
  ExpectOutcome(RunZovu({"."}, odd), static_cast<std::int64_t>(names.size()), false);
  ExpectOutcome(RunZovu({"*.c"}, odd), 7, false);
  ExpectOutcome(RunZovu({"-T", "*.txt"}, odd), 3, false);
  ExpectOutcome(RunZovu({"*."}, odd), 1, false);  // noext
  for (const std::string& name :
       {" lead.c"s, "two words.txt"s, "\xC3\xA9t\xC3\xA9.c"s, std::string(251, 'L') + ".txt"}) {
    SCOPED_TRACE(name);
    ExpectOutcome(RunZovu({name}, odd), 1, false);
  }
}

TEST(OddNames, ANameLongerThanTheSystemTakesFindsNothing) {
  TempDir dir;
  dir.File("a.txt");
  ExpectOutcome(RunZovuHostile({std::string(300, 'n') + "/"}, dir.path(), {}), 0, false,
                UnenteredNote(dir.path() / std::string(300, 'n')));
  ExpectOutcome(RunZovuHostile({std::string(300, 'n') + ".txt"}, dir.path(), {}), 0, false);
}

TEST(HugeDirectory, AHundredThousandEntriesAreAllCounted) {
  TempDir dir;
  const fs::path big = dir.Dir("big");
  constexpr int kFiles = 100000;
  const int fd = ::open(big.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < kFiles; ++i) {
    // Every tenth file is a ".c" file; the rest have no extension.
    const std::string name = "f" + std::to_string(i) + (i % 10 == 0 ? ".c" : "");
    const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0) << name;
    ::close(file);
  }
  ::close(fd);
  ExpectOutcome(RunZovuHostile({"big/"}, dir.path(), {}), kFiles, false);
  ExpectOutcome(RunZovuHostile({"-T", "-S+", "big/*.c"}, dir.path(), {}), kFiles / 10, false);
}

// Makes a FIFO, a socket and a character device (a copy of /dev/null) in dir; false
// when the system does not allow one of them.
bool MakeSpecialFiles(const fs::path& dir, std::string& why) {
  if (::mkfifo((dir / "fifo.p").c_str(), 0666) != 0) {
    why = "mkfifo: " + std::string(std::strerror(errno));
    return false;
  }
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir / "sock.s").string();
  if (sock < 0 || socketPath.size() >= sizeof address.sun_path) {
    why = "no room for a socket path";
    return false;
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const bool bound = ::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(sock);
  if (!bound) {
    why = "bind: " + std::string(std::strerror(errno));
    return false;
  }
  if (::mknod((dir / "null.d").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
    why = "mknod: " + std::string(std::strerror(errno));
    return false;
  }
  return true;
}

TEST(SpecialFiles, AreCountedAsFilesAndNeverOpened) {
  if (WindowsBinaryUnderTest()) GTEST_SKIP() << "FIFOs, sockets and devices are POSIX files";
  TempDir dir;
  dir.File("tree/plain.txt", "abc");
  const fs::path special = dir.Dir("tree/special");
  std::string why;
  if (!MakeSpecialFiles(special, why)) GTEST_SKIP() << "cannot make special files: " << why;
  // Opening the FIFO, which has no writer, would wait for ever; the deadline catches that.
  ExpectOutcome(RunZovuHostile({"-S+", "tree/"}, dir.path(), {.deadlineSeconds = 20}), 4, false);
  ExpectOutcome(RunZovuHostile({"-S+", "-T", "tree/"}, dir.path(), {.deadlineSeconds = 20}), 4,
                false);
  ExpectOutcome(RunZovuHostile({"tree/special/*.p"}, dir.path(), {.deadlineSeconds = 20}), 1,
                false);
}

TEST(SpecialFiles, AsAListFile) {
  if (WindowsBinaryUnderTest()) GTEST_SKIP() << "FIFOs, sockets and devices are POSIX files";
  TempDir dir;
  dir.File("a.txt");
  std::string why;
  if (!MakeSpecialFiles(dir.path(), why)) GTEST_SKIP() << "cannot make special files: " << why;
  // A FIFO is waited for until a writer comes; one that leaves without writing leaves an
  // empty list.
  std::thread writer([&dir] {
    for (int i = 0; i < 2000; ++i) {
      const int fd = ::open((dir.path() / "fifo.p").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));  // no reader yet
    }
  });
  ExpectOutcome(RunZovuHostile({"@fifo.p"}, dir.path(), {.deadlineSeconds = 20}), 0, false);
  writer.join();
  // Devices, sockets and directories are no lists.
  dir.Dir("lists.d");
  for (const char* list : {"null.d", "sock.s", "lists.d"}) {
    SCOPED_TRACE(list);
    ExpectOutcome(RunZovuHostile({"@" + std::string(list)}, dir.path(), {.deadlineSeconds = 20}), 0,
                  true, ListFileNote(dir.path() / list));
  }
}

TEST(Unreadable, DirectoriesTheUserMayNotReadOrEnterAreSkippedSilently) {
  if (WindowsBinaryUnderTest())
    GTEST_SKIP() << "needs to run the program as nobody; Wine runs only as the owner of its prefix";
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become the user nobody";
  if (!HaveNobody()) GTEST_SKIP() << "no user nobody on this machine";
  TempDir dir;
  dir.File("tree/open.txt");
  dir.File("tree/locked/secret.txt");
  dir.File("tree/unlisted/hidden.txt");  // may be entered, not listed
  dir.File("tree/unentered/away.txt");   // may be listed, not entered
  dir.File("tree/deep/ok/found.c");
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(dir.path() / "tree", fs::perms(0755));
  fs::permissions(dir.path() / "tree/locked", fs::perms::none);
  fs::permissions(dir.path() / "tree/unlisted", fs::perms(0711));
  fs::permissions(dir.path() / "tree/unentered", fs::perms(0744));
  const HostileRun asNobody{.asNobody = true};
  ExpectOutcome(RunZovuHostile({"-S+", "tree/"}, dir.path(), asNobody), 2, false);
  ExpectOutcome(RunZovuHostile({"-S+", "-T", "tree/"}, dir.path(), asNobody), 2, false);
  // As a start directory each yields nothing, without an error; a note names it.
  for (const char* start : {"tree/locked", "tree/unlisted", "tree/unentered"}) {
    SCOPED_TRACE(start);
    ExpectOutcome(RunZovuHostile({"-S+", std::string(start) + "/"}, dir.path(), asNobody), 0, false,
                  UnenteredNote(dir.path() / start));
  }
  // Started inside a directory it may not list, a relative start path still works.
  ExpectOutcome(RunZovuHostile({"-S+", "../deep/"}, dir.path() / "tree/unlisted", asNobody), 1,
                false);
}

TEST(FewFileHandles, ADeepTreeIsWalkedWholeOrTheSearchReportsErrors) {
  if (WindowsBinaryUnderTest())
    GTEST_SKIP() << "a limit on POSIX file handles says nothing of Windows handles, and Wine needs "
                    "many itself";
  TempDir dir;
  constexpr int kDepth = 80;  // more levels than the walk keeps parent handles for
  MakeDeepChain(dir.Dir("tree"), kDepth);
  // Three standard streams, the start directory, the one listed, the way down to it, and
  // room for the terminal: pending directories are reopened by their paths.
  ExpectOutcome(RunZovuHostile({"-S+", "tree/*.txt"}, dir.path(), {.fileLimit = 9}), kDepth, false);
  // Too few to go deep: a short count is no success. (A sanitizer's runtime needs
  // handles of its own at moments no limit can foresee.)
#if !defined(__SANITIZE_ADDRESS__)
  const ProcessResult starved = RunZovuHostile({"-S+", "tree/*.txt"}, dir.path(), {.fileLimit = 5});
  EXPECT_EQ(starved.exitStatus, 1);
  EXPECT_TRUE(starved.out.starts_with(WithLineEnds("Errors during processing!\n"))) << starved.out;
  // Standard error names what could not be walked, and why.
  EXPECT_TRUE(starved.err.starts_with("zovu: " + (dir.path() / "tree/d").string()) &&
              starved.err.ends_with(": Too many open files\n"))
      << starved.err;
#endif
  RemoveDeepChain(dir.path() / "tree", kDepth);
}

TEST(StartPath, AFileInsteadOfADirectoryFindsNothing) {
  TempDir dir;
  dir.File("file.txt", "x");
  dir.File("other.c", "y");
  const std::string note = UnenteredNote(dir.path() / "file.txt");
  ExpectOutcome(RunZovuHostile({"file.txt/"}, dir.path(), {}), 0, false, note);
  ExpectOutcome(RunZovuHostile({"-S+", "file.txt/*.c"}, dir.path(), {}), 0, false, note);
  ExpectOutcome(RunZovuHostile({"@file.txt/x.lst"}, dir.path(), {}), 0, true,
                ListFileNote(dir.path() / "file.txt/x.lst"));
  // Named as a mask, the file is found.
  ExpectOutcome(RunZovuHostile({"file.txt"}, dir.path(), {}), 1, false);
}

TEST(StartPath, TheParentOfADirectoryWhosePathHoldsCommasAndSemicolons) {
  TempDir dir;
  dir.File("a,b;c/x.txt");
  dir.File("a,b;c/y.c");
  const fs::path sub = dir.Dir("a,b;c/sub");
  ExpectOutcome(RunZovuHostile({".."}, sub, {}), 2, false);
}

TEST(OddNames, ControlCharactersInKeysReachATerminalOnlyAsQuestionMarks) {
  if (WindowsBinaryUnderTest())
    GTEST_SKIP()
        << "control characters cannot stand in Windows names, and the test needs a pseudo-terminal";
  TempDir dir;
  for (const std::string name : {"a.\x1B(0", "e.\x1B(0x", "b.\x0E", "c.\xC2\x9B", "d.txt"}) {
    dir.File("tree/" + name, "x");
  }
  const std::string border =
      "+=======================================================================+";
  const std::string head =
      "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
      "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n";
  const std::string fillers = "|     .     |     .     |";
  // Into a pipe or a file the keys go byte for byte.
  const ProcessResult piped = RunZovuHostile({"tree/"}, dir.path(), {});
  EXPECT_EQ(piped.out, border + "\n" + head +
                           "| \x0E   .    1| \x1B(0 .    2| TXT .    1| \xC2\x9B   .    1" +
                           fillers + "\n" + border + "\n5 matches found!\n");
  // On a terminal they cannot switch its character set or send it a command.
  PtyOptions options;
  options.args = {"tree/"};
  options.dir = dir.path();
  const PtyResult shown = RunZovuOnPty(options);
  EXPECT_EQ(shown.exitStatus, 0);
  EXPECT_NE(shown.output.find("\r\n| ?   .    1| ?(0 .    2| TXT .    1| ?   .    1" + fillers +
                              "\r\n" + border + "\r\n5 matches found!\r\n"),
            std::string::npos)
      << ::testing::PrintToString(shown.output);
  for (const std::string_view control : {"\x1B", "\x0E", "\xC2\x9B"}) {
    EXPECT_EQ(shown.output.find(control), std::string::npos)
        << ::testing::PrintToString(std::string(control));
  }
  EXPECT_EQ(shown.settingsAfter, shown.settingsBefore);
}

}  // namespace
}  // namespace zovu::testing
