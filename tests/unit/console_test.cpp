#include "support/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/string_stream.h"

namespace zovu {
namespace {

using testing::StringStream;

struct ConsoleParts {
  StringStream report;
  StringStream terminal;
  StringStream errors;
  StatusLineRecord statusLine;
  ConsoleStreams Streams(unsigned columns, bool onTerminal) {
    return ConsoleStreams{
        &report, onTerminal ? &terminal : nullptr, &errors, columns, "\n", false, &statusLine};
  }
};

// A clock that moves only when the test moves it.
struct TestClock {
  std::chrono::steady_clock::time_point now{};
  ConsoleClock Reader() {
    return [this] { return now; };
  }
};

std::string Blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(ClearStatusLine, BlanksAllButTheLastColumn) {
  for (const auto& [columns, blanks] :
       {std::pair{80u, 79u}, {1u, 1u}, {2u, 1u}, {255u, 254u}, {300u, 254u}}) {
    ConsoleParts parts;
    Console console(parts.Streams(columns, true));
    console.ClearStatusLine();
    EXPECT_EQ(parts.terminal.text(), "\r" + Blanks(blanks) + "\r") << columns << " columns";
  }
}

TEST(ClearStatusLine, WritesNothingWithoutATerminal) {
  ConsoleParts parts;
  Console console(parts.Streams(80, false));
  console.ClearStatusLine();
  console.WriteStatus("Working  ");
  console.ShowSpinner(0);
  EXPECT_EQ(parts.terminal.text(), "");
  EXPECT_EQ(parts.report.text(), "");
  EXPECT_EQ(parts.errors.text(), "");
}

TEST(ShowSpinner, TurnsThroughFourCharactersInPlace) {
  ConsoleParts parts;
  Console console(parts.Streams(80, true));
  for (std::uint64_t steps = 0; steps < 6; ++steps) console.ShowSpinner(steps);
  EXPECT_EQ(parts.terminal.text(), "\b/\b-\b\\\b|\b/\b-");
}

TEST(ShowSpinner, TurnsAtMostOncePerIntervalWhileEntriesArrive) {
  using std::chrono::milliseconds;
  ConsoleParts parts;
  TestClock clock;
  Console console(parts.Streams(80, true), milliseconds(30), clock.Reader());
  // Nothing handed over between 30 and 61 ms: the spinner stands still until 62 ms.
  const std::pair<int, std::uint64_t> calls[] = {
      {0, 0}, {10, 1}, {30, 5}, {59, 5}, {61, 5}, {62, 6}, {100, 7}, {131, 1000}, {140, 1001}};
  for (const auto& [at, steps] : calls) {
    clock.now = std::chrono::steady_clock::time_point(milliseconds(at));
    console.ShowSpinner(steps);
  }
  EXPECT_EQ(parts.terminal.text(), "\b/\b-\b\\\b|\b/");
}

TEST(Console, TellsTheStatusLineWhatItShows) {
  ConsoleParts parts;
  Console console(parts.Streams(20, true));
  console.WriteStatus("Working  ");
  const auto shown = [&] {
    const StatusLineRecord::Version* v = parts.statusLine.Current();
    return v == nullptr ? std::vector<std::string>{}
                        : std::vector<std::string>{std::string(v->redraw, v->redrawSize),
                                                   std::string(v->blank, v->blankSize)};
  };
  const std::string blank = "\r" + Blanks(19) + "\r";
  EXPECT_EQ(shown(), (std::vector<std::string>{"\rWorking  ", blank}));
  console.ShowSpinner(1);
  console.ShowSpinner(2);
  EXPECT_EQ(shown(), (std::vector<std::string>{"\rWorking  \b-", blank}));
  console.ClearStatusLine();
  EXPECT_EQ(shown(), std::vector<std::string>{});
  console.WriteStatus("x");
  EXPECT_EQ(shown(), (std::vector<std::string>{"\rx", blank}));
}

TEST(ReportProblem, OnATerminalClearsTheStatusLineFirst) {
  ConsoleParts parts;
  Console console(parts.Streams(80, true));
  EXPECT_EQ(console.ReportProblem("Could not save configuration file"), kExitProblem);
  EXPECT_EQ(parts.terminal.text() + parts.errors.text(),
            "\r" + Blanks(79) + "\r\rPROBLEM: Could not save configuration file\n");
  EXPECT_EQ(parts.report.text(), "");
}

TEST(ReportProblem, WithoutATerminalWritesOnlyTheMessageLine) {
  ConsoleParts parts;
  Console console(parts.Streams(80, false));
  EXPECT_EQ(console.ReportProblem("Invalid option specified, run ZOVU for list of valid options"),
            kExitProblem);
  EXPECT_EQ(parts.errors.text(),
            "PROBLEM: Invalid option specified, run ZOVU for list of valid options\n");
}

}  // namespace
}  // namespace zovu
