#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/run_process.h"
#include "common/temp_dir.h"
#include "e2e/hostile_run.h"
#include "e2e/search_outcome.h"

namespace zovu::testing {
namespace {

using namespace std::string_literals;

class ListFileE2E : public ::testing::Test {
 protected:
  ListFileE2E() {
    for (const char* name :
         {"a/f1.c",      "a/f2.c",     "a/f3.h",       "my dir/s1.txt", "my dir/s2.txt",
          "my dir/s3.c", "MAKEFILE",   "makefile.old", "Makefile2",     "x.c",
          "abs/p.c",     "abs/q.c",    "abs/a/d1.c",   "abs/a/d2.c",    "abs/a/d3.c",
          "abs/a/d4.c",  "abs/a/d5.c", "lists/a/l1.c", "lists/a/l2.c",  "lists/a/l3.c"}) {
      root.File(std::string("work/") + name, "x");
    }
    work = root.path() / "work";
  }

  // Runs zovu on a list file in lists/, named relative to the working directory.
  ProcessResult RunList(std::string_view content) {
    root.File("work/lists/l.lst", content);
    return RunZovu({"@lists/l.lst"}, work);
  }

  TempDir root;
  std::filesystem::path work;
};

TEST_F(ListFileE2E, QuotedLinesKeepTheirSpaces) {
  ExpectOutcome(RunList("\"my dir/*.txt\"\n   \"my dir/\"   \n"), 5, false);
}

TEST_F(ListFileE2E, TextAfterTheFirstSpaceIsARemark) {
  ExpectOutcome(RunList("a/*.c and *.h are both wanted\n"), 2, false);
}

TEST_F(ListFileE2E, BlankLinesAreSkipped) {
  ExpectOutcome(RunList("\n   \n\na/*.h\n\n"), 1, false);
  ExpectOutcome(RunList("\n    \n\n"), 0, false);
}

TEST_F(ListFileE2E, LineWithoutExtensionNamesExactlyThatFile) {
  // On the command line MAKEFILE would also select makefile.old.
  ExpectOutcome(RunList("MAKEFILE\n"), 1, false);
  // A lone "." selects the names without an extension: MAKEFILE and Makefile2.
  ExpectOutcome(RunList(".\n"), 2, false);
}

TEST_F(ListFileE2E, LineEndingInSlashSelectsEveryFileThere) {
  ExpectOutcome(RunList("a/\n"), 3, false);
}

TEST_F(ListFileE2E, RelativeLinesStartFromTheStartingDirectory) {
  // Taken against abs/ the second line would find 5 files, against lists/ 3.
  ExpectOutcome(RunList(PathForProgram(work / "abs") + "/\na/*.c\n"), 4, false);
}

// Named with the system's reason, whose words are known exactly on POSIX.
TEST_F(ListFileE2E, MissingListFileIsAnError) {
  const std::string reason = WindowsBinaryUnderTest() ? "" : "No such file or directory\n";
  ExpectOutcome(RunZovu({"@lists/none.lst"}, work), 0, true,
                ListFileNote(work / "lists/none.lst") + reason);
}

// A device could be read for ever or wait for input; the deadline ends a run that hangs.
TEST_F(ListFileE2E, DeviceIsRefusedAtOnce) {
  ExpectOutcome(RunZovuHostile({"@/dev/zero"}, work, {.deadlineSeconds = 20}), 0, true,
                ListFileNote("/dev/zero"));
}

TEST_F(ListFileE2E, WindowsDeviceNamesAreRefusedAtOnce) {
  if (!WindowsBinaryUnderTest()) GTEST_SKIP() << "COM1 and AUX name devices only on Windows";
  // Named as the system names the device.
  ExpectOutcome(RunZovuHostile({"@COM1"}, work, {.deadlineSeconds = 20}), 0, true,
                "zovu: \\\\.\\COM1: ");
  ExpectOutcome(RunZovuHostile({"@lists/AUX.txt"}, work, {.deadlineSeconds = 20}), 0, true,
                "zovu: \\\\.\\AUX: ");
}

TEST_F(ListFileE2E, ListFilesDoNotNest) {
  root.File("work/lists/inner.lst", "a/\n");
  ExpectOutcome(RunList("@lists/inner.lst\nx.c\n"), 1, true);
}

TEST_F(ListFileE2E, CarriageReturnsAreNotPartOfTheLine) {
  ExpectOutcome(RunList("a/*.c\r\nMAKEFILE\r\n\"my dir/\"\r\n"), 6, false);
}

TEST_F(ListFileE2E, ByteOrderMarkIsNotPartOfTheFirstLine) {
  ExpectOutcome(RunList("\xEF\xBB\xBFlists/a/\r\nx.c\r\n"), 4, false);
}

// UTF-8 text as UTF-16 with its byte-order mark, in either byte order.
std::string Utf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  const auto unit = [&](unsigned u) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  unit(0xFEFF);
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    unsigned c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = c << 6 | (utf8[i + k] & 0x3F);
    i += length;
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

TEST_F(ListFileE2E, Utf16WithAByteOrderMarkIsReadAsText) {
  // "été" and an emoji, which UTF-16 writes as a surrogate pair.
  root.File("work/u/\xC3\xA9t\xC3\xA9.txt", "x");
  root.File("work/u/\xF0\x9F\x98\x80.txt", "x");
  const std::string text =
      "a/*.c\r\nu/\xC3\xA9t\xC3\xA9.txt\r\n\"my dir/\"\r\nu/\xF0\x9F\x98\x80.txt";
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "UTF-16BE" : "UTF-16LE");
    ExpectOutcome(RunList(Utf16(text, bigEndian)), 7, false);
  }
}

TEST_F(ListFileE2E, AFifoIsReadOnceAWriterComes) {
  if (WindowsBinaryUnderTest()) GTEST_SKIP() << "FIFOs are POSIX";
  const std::filesystem::path fifo = root.path() / "work/lists/later.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // The writer comes only once the program has opened the FIFO, and a while later.
  std::thread writer([&fifo] {
    int fd = -1;
    for (int i = 0; i < 3000 && fd < 0; ++i) {
      fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // fails while no reader
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fd < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string_view lines = "a/\nx.c\n";
    EXPECT_EQ(::write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(fd);
  });
  const ProcessResult result = RunZovuHostile({"@lists/later.fifo"}, work, {.deadlineSeconds = 30});
  writer.join();
  ExpectOutcome(result, 4, false);
}

TEST_F(ListFileE2E, LineThatIsNotUtf8NamesTheFileItWasWrittenFor) {
  // "\xC4" is "\xC3\x84" (A with diaeresis) in the ANSI code page that Windows programs
  // get under Wine in a UTF-8 locale, 1252. Elsewhere names are bytes, and so are lines.
  root.File(WindowsBinaryUnderTest() ? "work/cp/\xC3\x84rger.txt" : "work/cp/\xC4rger.txt", "x");
  ExpectOutcome(RunList("cp/\xC4rger.txt\n"), 1, false);
}

TEST_F(ListFileE2E, LinesLongerThanAnyShortLimitAreReadWhole) {
  std::string deep;
  for (char fill : {'p', 'q', 'r', 's', 't', 'u'}) deep += LongName(fill, 50) + "/";
  root.File("work/" + deep + "f1.c", "x");
  root.File("work/" + deep + "f2.c", "x");
  ASSERT_GT(deep.size(), 255u);
  ExpectOutcome(RunList(deep + "*.c\n" + PathForProgram(work / deep) + "\n"), 4, false);
}

TEST_F(ListFileE2E, BinaryJunkGivesADefinedResult) {
  // Windows names are UTF-16 and cannot hold bytes that form no UTF-8 character; there
  // the same letters are written in UTF-8.
  const std::string e = WindowsBinaryUnderTest() ? "\xC3\xA9" : "\xE9";
  const std::string E = WindowsBinaryUnderTest() ? "\xC3\x89" : "\xC9";
  root.File("work/junk/" + e + "t" + e + ".txt", "x");
  root.File("work/junk/" + E + "t" + E + ".txt", "x");
  const std::string junk =
      "\x00\x01\x02/\xFF\n"s  // a directory with a NUL in its name: cannot be entered
      "\x89PNG\r\n\x1A\n"s    // masks that match nothing here
      "\x00\n"s               // a mask of one NUL byte
      "junk/" +
      e + "T" + e + ".TXT\n" +   // high bytes must be equal, ASCII letters may differ
      "\x7F\xFE\xFF\t\x01\n"s +  // control and high bytes, no separator
      std::string(100000, 'x');  // a long last line without a line end
  // The line that names no directory is named, its control bytes made harmless. Windows
  // cannot make a name that holds a NUL absolute: there the line is named as written.
  ExpectOutcome(
      RunList(junk), 1, true,
      WindowsBinaryUnderTest() ? "zovu: ???: " : "zovu: " + PathForProgram(work) + "/???: ");
}

TEST_F(ListFileE2E, ReadErrorIsAnError) {
  // Reading a process's own memory from offset 0 fails: nothing is mapped there.
  if (!std::filesystem::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
  const std::string reason = WindowsBinaryUnderTest() ? "" : "Input/output error\n";
  ExpectOutcome(RunZovu({"@/proc/self/mem"}, work), 0, true,
                ListFileNote("/proc/self/mem") + reason);
}

}  // namespace
}  // namespace zovu::testing
