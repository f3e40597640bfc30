#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "common/pty_process_posix.h"
#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

constexpr int kFiles = 300;

// A directory of kFiles files, searched as "DIR/".
class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (WindowsBinaryUnderTest()) {
      GTEST_SKIP() << "pseudo-terminals are POSIX; the Windows program reads the console";
    }
    for (int i = 0; i < kFiles; ++i) tree_.File("files/f" + std::to_string(i) + ".txt");
  }
  std::string SearchArg() const { return (tree_.path() / "files").string() + "/"; }
  PtyOptions Options() const {
    PtyOptions options;
    options.args = {SearchArg()};
    options.dir = tree_.path();
    return options;
  }

  TempDir tree_;
};

// The summary line ends the output, after the status line or the report's last line.
::testing::AssertionResult EndsWithSummary(const std::string& output, int matches,
                                           const std::string& lineEnd = "\r\n") {
  const std::string summary = std::to_string(matches) + " matches found!" + lineEnd;
  const std::size_t at = output.size() - std::min(output.size(), summary.size());
  if (output.compare(at, std::string::npos, summary) == 0 &&
      (at == 0 || output[at - 1] == '\r' || output[at - 1] == '\n')) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "does not end with the summary: " << ::testing::PrintToString(output);
}

// "\r", columns - 1 blanks, "\r": the status line cleared.
std::string Cleared(unsigned columns) {
  return "\r" + std::string(columns - 1, ' ') + "\r";
}

// Checks the status line at the start of a terminal's output: "Working  ", at least one
// spinner step (a backspace and a spinner character, the first one "/"), and the line
// cleared. How many steps show depends on the time the walk took.
::testing::AssertionResult StatusLineWithSpinner(const std::string& output, unsigned columns) {
  const std::string working = "Working  ";
  if (output.compare(0, working.size(), working) != 0) {
    return ::testing::AssertionFailure() << "no \"Working  \" first";
  }
  std::size_t at = working.size();
  int steps = 0;
  while (at + 1 < output.size() && output[at] == '\b') {
    const char shown = output[at + 1];
    if (std::string_view("/-\\|").find(shown) == std::string_view::npos ||
        (steps == 0 && shown != '/')) {
      return ::testing::AssertionFailure() << "bad spinner character at " << at + 1;
    }
    at += 2;
    ++steps;
  }
  if (steps == 0) return ::testing::AssertionFailure() << "no spinner step";
  if (output.compare(at, columns + 1, Cleared(columns)) != 0) {
    return ::testing::AssertionFailure() << "status line not cleared after the spinner at " << at;
  }
  return ::testing::AssertionSuccess();
}

TEST_F(TerminalTest, KeysTypedAheadAreReadAtTheFirstEntry) {
  const struct {
    const char* name;
    std::string keys;
    bool ends;  // ESC: the walk ends before the first entry
  } cases[] = {
      {"ESC", "\x1b", true},
      {"ESC twice", "\x1b\x1b", true},
      {"up arrow", "\x1b[A", false},
      {"F1", "\x1bOP", false},
      {"ctrl right arrow", "\x1b[1;5C", false},
      {"letter", "q", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PtyOptions options = Options();
    options.typedAhead = c.keys;
    options.echo = false;  // what is typed before the program starts shows no echo
    const PtyResult result = RunZovuOnPty(options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    if (c.ends) {
      EXPECT_EQ(result.output.substr(0, 9 + 81), "Working  " + Cleared(80));
      EXPECT_TRUE(EndsWithSummary(result.output, 0));
    } else {
      EXPECT_TRUE(StatusLineWithSpinner(result.output, 80));
      EXPECT_TRUE(EndsWithSummary(result.output, kFiles));
    }
    EXPECT_EQ(result.settingsAfter, result.settingsBefore);
  }
}

TEST_F(TerminalTest, StatusLineIsClearedToTheTerminalWidth) {
  for (const unsigned short columns : {50, 256, 300}) {
    SCOPED_TRACE(columns);
    PtyOptions options = Options();
    options.columns = columns;
    const PtyResult result = RunZovuOnPty(options);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(StatusLineWithSpinner(result.output, std::min<unsigned>(columns, 255)));
    EXPECT_TRUE(EndsWithSummary(result.output, kFiles));
    EXPECT_EQ(result.settingsAfter, result.settingsBefore);
  }
}

TEST_F(TerminalTest, SearchReadsSingleKeysWithoutEcho) {
  PtyOptions options = Options();
  options.traced = true;
  PtyProcess process(options);
  ASSERT_TRUE(process.StopAfterSettingsChange());
  const struct termios during = process.Attributes();
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_NE(during.c_lflag & ISIG, 0u);  // ctrl-C and ctrl-Z still send their signals
  // ESC typed during the search, with no line end, and not echoed.
  process.Type("\x1b");
  process.ReleaseWithSignal(0);
  EXPECT_EQ(process.Finish(), 0);
  EXPECT_EQ(process.Output().substr(0, 9 + 81), "Working  " + Cleared(80));
  EXPECT_TRUE(EndsWithSummary(process.Output(), 0));
  EXPECT_EQ(process.Output().find("^["), std::string::npos);
  EXPECT_EQ(process.Settings(), process.SettingsAtStart());
}

// ESC ends the search in every format; the data formats say so.
TEST_F(TerminalTest, EscEndsTheSearchOfAJsonReportWhichSaysSo) {
  PtyOptions options = Options();
  options.args = {"--format=json", SearchArg()};
  options.typedAhead = "\x1b";
  options.echo = false;
  const PtyResult result = RunZovuOnPty(options);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(result.output.find("\"aborted\": true,\r\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\"files\": 0,\r\n"), std::string::npos);
  EXPECT_EQ(result.settingsAfter, result.settingsBefore);
}

// Gives the locale's variables these values (null: unset) while it lives; then puts back
// those from before.
class LocaleSetting {
 public:
  LocaleSetting(const char* all, const char* lang) {
    const char* values[] = {all, nullptr, lang};
    for (int i = 0; i < 3; ++i) {
      const char* before = std::getenv(kNames[i]);
      if (before != nullptr) before_[i] = before;
      Set(kNames[i], values[i]);
    }
  }
  ~LocaleSetting() {
    for (int i = 0; i < 3; ++i) Set(kNames[i], before_[i] ? before_[i]->c_str() : nullptr);
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  static void Set(const char* name, const char* value) {
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  std::optional<std::string> before_[3];
};

// The list's bars are drawn in block characters where the locale's character set is
// UTF-8, and in "#" elsewhere.
TEST_F(TerminalTest, ListBarsAreBlocksOnlyWhereTheLocaleIsUtf8) {
  tree_.File("sizes/big.dat", std::string(3000, 'x'));
  tree_.File("sizes/small.txt", std::string(1000, 'x'));
  const struct {
    const char* all;
    const char* lang;
    bool blocks;
  } cases[] = {
      {"C.UTF-8", "C", true},
      {"C", "C.UTF-8", false},
      {"", "en_US.utf8", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.all ? c.all : "(unset)") + " " + c.lang);
    const LocaleSetting locale(c.all, c.lang);
    PtyOptions options = Options();
    options.args = {"--format=list", "sizes/"};
    const PtyResult result = RunZovuOnPty(options);
    EXPECT_EQ(result.exitStatus, 0);
    // Three quarters of 42 columns: 31 and a half.
    std::string bar;
    for (int i = 0; i < 31; ++i) bar += c.blocks ? "\u2588" : "#";
    bar += c.blocks ? "\u258C" : "#";
    EXPECT_NE(result.output.find("75.0%  " + bar + "\r\n"), std::string::npos) << result.output;
  }
}

TEST_F(TerminalTest, SignalsThatEndTheSearchGiveTheSettingsBack) {
  // The crash signals' default action writes a core file; none is wanted here.
  const rlimit noCore{0, 0};
  ASSERT_EQ(::setrlimit(RLIMIT_CORE, &noCore), 0);
  const struct {
    int signal;
    bool blanksStatusLine;
  } cases[] = {
      {SIGINT, true},   {SIGTERM, true},  {SIGHUP, true},   {SIGUSR1, false},
      {SIGXCPU, false}, {SIGABRT, false}, {SIGSEGV, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal);
    PtyOptions options = Options();
    options.traced = true;
    PtyProcess process(options);
    ASSERT_TRUE(process.StopAfterSettingsChange());
    ASSERT_NE(process.Settings(), process.SettingsAtStart());
    process.ReleaseWithSignal(c.signal);
    const int status = process.Finish();
    EXPECT_EQ(process.Settings(), process.SettingsAtStart());
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (c.signal == SIGSEGV) continue;  // the sanitizer's own handler reports it
#endif
    EXPECT_EQ(status, 128 + c.signal);
    EXPECT_EQ(process.Output(), "Working  " + (c.blanksStatusLine ? Cleared(80) : ""));
  }
}

TEST_F(TerminalTest, ContinuedJobTakesKeysAgain) {
  // SIGTSTP (ctrl-Z), and SIGTTIN and SIGTTOU sent by kill: the program gives the settings
  // back before it stops. SIGSTOP cannot be caught: the shell gives the terminal its own
  // settings while the job is stopped.
  for (const int stop : {SIGTSTP, SIGTTIN, SIGTTOU, SIGSTOP}) {
    SCOPED_TRACE(stop);
    PtyOptions options = Options();
    options.traced = true;
    PtyProcess process(options);
    ASSERT_TRUE(process.StopAfterSettingsChange());
    process.ReleaseWithSignal(stop);
    ASSERT_TRUE(process.WaitUntilStopped());
    if (stop != SIGSTOP) {
      ASSERT_EQ(process.Settings(), process.SettingsAtStart());
    } else {
      ASSERT_NE(process.Settings(), process.SettingsAtStart());
      process.ResetSettings();
    }
    // Typed while stopped: the terminal is in line mode and echoes it.
    process.Type("\x1b");
    ASSERT_TRUE(process.WaitForOutput("^["));
    process.Signal(SIGCONT);
    EXPECT_EQ(process.Finish(), 0);
    // The status line is drawn again once the job goes on.
    EXPECT_EQ(process.Output().substr(0, 21 + 81), "Working  ^[\rWorking  " + Cleared(80));
    EXPECT_TRUE(EndsWithSummary(process.Output(), 0));
    EXPECT_EQ(process.Settings(), process.SettingsAtStart());
  }
}

TEST_F(TerminalTest, StopIgnoredInAnOrphanedGroupKeepsTheMode) {
  PtyOptions options = Options();
  options.job = PtyJob::kSessionLeader;
  options.typedAhead = "\x1b";
  options.echo = false;
  options.traced = true;
  PtyProcess process(options);
  ASSERT_TRUE(process.StopAfterSettingsChange());
  process.ReleaseWithSignal(SIGTSTP);
  // Not stopped, and back in single-key mode: the ESC typed ahead ends the walk.
  EXPECT_EQ(process.Finish(), 0);
  EXPECT_TRUE(EndsWithSummary(process.Output(), 0));
  EXPECT_EQ(process.Settings(), process.SettingsAtStart());
}

TEST_F(TerminalTest, WithoutTheForegroundTheTerminalIsLeftAlone) {
  for (const PtyJob job : {PtyJob::kBackground, PtyJob::kNoControllingTerminal}) {
    SCOPED_TRACE(static_cast<int>(job));
    PtyOptions options = Options();
    options.job = job;
    options.typedAhead = "\x1b";
    options.echo = false;
    options.traced = true;
    PtyProcess process(options);
    // It searches without changing the terminal's settings, and is never stopped.
    EXPECT_FALSE(process.StopAfterSettingsChange());
    EXPECT_EQ(process.Finish(), 0);
    EXPECT_FALSE(process.TimedOut());
    // The ESC typed ahead is not read: every file is counted. A job in the background
    // draws no status line; without a controlling terminal no other job has the line.
    if (job == PtyJob::kBackground) {
      EXPECT_EQ(process.Output().find("Working"), std::string::npos);
    } else {
      EXPECT_TRUE(StatusLineWithSpinner(process.Output(), 80));
    }
    EXPECT_TRUE(EndsWithSummary(process.Output(), kFiles));
    EXPECT_EQ(process.Settings(), process.SettingsAtStart());
  }
}

// Started in the background by an interactive shell, the search draws nothing over the
// line where the user goes on typing, and does not blank it when done.
TEST_F(TerminalTest, AJobInTheBackgroundOfAShellDrawsNothing) {
  PtyOptions options;
  options.program = "bash";
  options.args = {"--norc", "--noprofile", "-i"};
  options.dir = tree_.path();
  options.job = PtyJob::kSessionLeader;  // the shell leads the session, with job control
  PtyProcess shell(options);
  shell.Type("PS1='<''ready''> '\n");
  ASSERT_TRUE(shell.WaitForOutput("<ready> "));
  const std::size_t before = shell.Output().size();
  shell.Type(ProgramFileUnderTest().string() + " -S+ " + SearchArg() + " > out.txt &\n");
  shell.Type("echo typed");
  ASSERT_TRUE(shell.WaitForOutput("echo typed"));
  // ctrl-U takes back what was typed; "wait" returns once the job has ended.
  shell.Type("\x15wait; echo ended-$((6 * 7))\n");
  ASSERT_TRUE(shell.WaitForOutput("ended-42"));
  const std::string during = shell.Output().substr(before);
  EXPECT_EQ(during.find("Working"), std::string::npos) << ::testing::PrintToString(during);
  EXPECT_EQ(during.find(Cleared(80)), std::string::npos) << ::testing::PrintToString(during);
  std::ifstream report(tree_.path() / "out.txt");
  const std::string text{std::istreambuf_iterator<char>(report), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(EndsWithSummary(text, kFiles, "\n"));
  shell.Type("exit\n");
  EXPECT_EQ(shell.Finish(), 0);
}

// With standard output closed, the terminal that the program opens for its keys takes
// descriptor 1 unless something holds it: the report would go to the terminal.
TEST_F(TerminalTest, ClosedStandardOutputIsAProblem) {
  PtyOptions options = Options();
  options.outputClosed = true;
  const PtyResult result = RunZovuOnPty(options);
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_TRUE(result.output.ends_with(Cleared(80) + "\rPROBLEM: Could not write the report\r\n"))
      << ::testing::PrintToString(result.output);
  EXPECT_EQ(result.output.find("matches found"), std::string::npos);
  EXPECT_EQ(result.settingsAfter, result.settingsBefore);
}

// The number in the summary line at the end of a terminal's output, or -1.
long long SummaryCount(const std::string& output) {
  const std::size_t end = output.rfind(" match");
  const std::size_t start = output.find_last_of("\r\n", end);
  if (end == std::string::npos || start == std::string::npos) return -1;
  return std::stoll(output.substr(start + 1, end - start - 1));
}

// ESC is answered inside one directory of many entries, once the spinner shows that its
// entries are being counted; while a list file of a terabyte without a line end is
// being skipped; and while a FIFO given as list file waits for a writer. None is read
// to its end first.
TEST_F(TerminalTest, EscEndsTheSearchInsideAHugeDirectoryOrListFile) {
  constexpr int kEntries = 150000;
  const std::filesystem::path huge = tree_.Dir("huge");
  // Links are made much faster than files; a file takes some tens of thousands of them.
  std::filesystem::path file;
  for (int i = 0; i < kEntries; ++i) {
    const std::filesystem::path entry = huge / ("e" + std::to_string(i) + ".dat");
    if (i % 50000 == 0) {
      file = tree_.File("huge/e" + std::to_string(i) + ".dat");
    } else {
      ASSERT_EQ(::link(file.c_str(), entry.c_str()), 0);
    }
  }
  const int list = ::open((tree_.path() / "big.lst").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_EQ(::ftruncate(list, off_t{1} << 40), 0);
  ::close(list);
  const struct {
    const char* arg;
    const char* shown;  // ESC is typed once this shows: a second redraw, counting under way
  } cases[] = {
      {"huge/", "Working  \b/\b"}, {"@big.lst", "Working  \b/"}, {"@wait.fifo", "Working  "}};
  ASSERT_EQ(::mkfifo((tree_.path() / "wait.fifo").c_str(), 0644), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    PtyOptions options = Options();
    options.args = {"-T", c.arg};
    PtyProcess process(options);
    ASSERT_TRUE(process.WaitForOutput(c.shown));
    process.Type("\x1b");
    EXPECT_EQ(process.Finish(), 0);
    EXPECT_FALSE(process.TimedOut());
    const long long matches = SummaryCount(process.Output());
    EXPECT_GE(matches, 0) << ::testing::PrintToString(process.Output());
    EXPECT_LT(matches, kEntries);
    EXPECT_EQ(process.Settings(), process.SettingsAtStart());
  }
}

// A pager that shares the terminal (zovu ... | less) takes it into a mode of its own while
// zovu runs; zovu must not put its own findings back over that.
TEST_F(TerminalTest, SettingsThatAnotherProgramMadeMeanwhileAreKept) {
  PtyOptions options = Options();
  options.traced = true;
  PtyProcess process(options);
  ASSERT_TRUE(process.StopAfterSettingsChange());
  struct termios other = process.Attributes();
  other.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  other.c_cc[VTIME] = 1;
  process.SetAttributes(other);
  const std::string otherSettings = process.Settings();
  ASSERT_NE(otherSettings, process.SettingsAtStart());
  process.ReleaseWithSignal(0);
  EXPECT_EQ(process.Finish(), 0);
  EXPECT_TRUE(EndsWithSummary(process.Output(), kFiles));
  EXPECT_EQ(process.Settings(), otherSettings);
}

TEST_F(TerminalTest, OutputIntoAPipeLeavesTheTerminalToThePipeline) {
  PtyOptions options = Options();
  options.outputToPipe = true;
  options.typedAhead = "\x1b";
  options.echo = false;
  options.traced = true;
  PtyProcess process(options);
  // The report is begun before the terminal's settings were ever changed.
  EXPECT_FALSE(process.StopAfterSettingsChange());
  EXPECT_EQ(process.Finish(), 0);
  EXPECT_EQ(process.Output(), "");  // no status line
  // The ESC typed ahead is not read: every file is counted.
  EXPECT_TRUE(EndsWithSummary(process.PipedOutput(), kFiles, "\n"));
  EXPECT_EQ(process.Settings(), process.SettingsAtStart());
}

// Redrawn a few dozen times a second, the spinner showed "/" on every redraw. The run is
// made long by a list file that names the directory again and again; it is stopped for
// longer than a redraw interval now and then, so that redraws come whatever the speed.
TEST_F(TerminalTest, SpinnerShowsAllFourCharactersOverALongRun) {
  std::string list;
  for (int i = 0; i < 3000; ++i) list += "files/\n";
  tree_.File("again.lst", list);
  PtyOptions options = Options();
  options.args = {"@again.lst"};
  PtyProcess process(options);
  const auto shown = [&process](char c) {
    return process.Output().find(std::string{'\b', c}) != std::string::npos;
  };
  const auto allShown = [&shown] { return shown('/') && shown('-') && shown('\\') && shown('|'); };
  for (int i = 0; i < 100 && !allShown(); ++i) {
    process.Signal(SIGSTOP);
    if (!process.WaitUntilStopped()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    process.Signal(SIGCONT);
    if (!process.WaitUntilContinued()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(process.Finish(), 0);
  EXPECT_TRUE(allShown()) << ::testing::PrintToString(process.Output().substr(0, 400));
  EXPECT_TRUE(EndsWithSummary(process.Output(), 3000 * kFiles));
}

// Memory that runs out must end the run as a problem, never abort it: under limits from
// too little to start up to enough for the walk, every run that starts ends with the
// problem line or completes, and the terminal gets its settings back.
TEST_F(TerminalTest, MemoryRunningOutIsAProblemNeverAnAbort) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's runtime reserves more address space than any limit allows";
#endif
  // A directory whose tally needs more memory than the start-up leaves spare: every
  // file's long extension is a key of its own.
  constexpr int kLongNames = 5000;
  for (int i = 0; i < kLongNames; ++i)
    tree_.File("long/x." + std::string(200, 'n') + std::to_string(i));
  const std::string problem = "PROBLEM: Out of memory\r\n";
  unsigned long long enough = 1ull << 30;
  unsigned long long tooLittle = 1ull << 20;
  std::string lastOutOfMemory;  // the output of the run that ran out at the highest limit
  bool leftOut = false;         // a run left a directory out for want of memory
  while (enough - tooLittle > 32 * 1024) {
    PtyOptions options = Options();
    options.args = {"--ext=full", "long/"};
    options.memoryLimit = (tooLittle + enough) / 2;
    const PtyResult result = RunZovuOnPty(options);
    SCOPED_TRACE(options.memoryLimit);
    ASSERT_NE(result.exitStatus, 128 + SIGABRT) << result.output;
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.settingsAfter, result.settingsBefore);
    if (result.exitStatus == 0) {
      EXPECT_TRUE(EndsWithSummary(result.output, kLongNames));
      enough = options.memoryLimit;
      continue;
    }
    tooLittle = options.memoryLimit;
    if (result.exitStatus == 2) {
      EXPECT_TRUE(result.output.ends_with(problem)) << result.output;
      lastOutOfMemory = result.output;
    }
    // Where the C library's own memory for a listing (readdir's) runs out first, that
    // directory is left out and the run reports errors.
    if (result.exitStatus == 1) {
      EXPECT_NE(result.output.find("Errors during processing!"), std::string::npos)
          << result.output;
      leftOut = true;
    }
  }
  ASSERT_TRUE(leftOut || !lastOutOfMemory.empty()) << "memory never ran out during the walk";
  // Just below what the walk needs, memory ran out during the walk: the status line is
  // blanked before the problem line.
  if (!lastOutOfMemory.empty()) {
    EXPECT_TRUE(lastOutOfMemory.starts_with("Working  ") &&
                lastOutOfMemory.ends_with(Cleared(80) + problem))
        << ::testing::PrintToString(lastOutOfMemory);
  }
}

}  // namespace
}  // namespace zovu::testing
