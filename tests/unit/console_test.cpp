#include "support/console.h"

#include <gtest/gtest.h>

#include <string>

#include "common/string_stream.h"

namespace zovu {
namespace {

using testing::StringStream;

struct ConsoleParts {
  StringStream report;
  StringStream terminal;
  StringStream errors;
  ConsoleStreams Streams(unsigned columns, bool onTerminal) {
    return ConsoleStreams{&report, onTerminal ? &terminal : nullptr, &errors, columns, "\n"};
  }
};

std::string Blanks(std::size_t n) {
  return std::string(n, ' ');
}

TEST(ClearStatusLine, BlanksAllButTheLastColumn) {
  for (const auto& [columns, blanks] : {std::pair{80u, 79u}, {1u, 1u}, {2u, 1u}, {300u, 43u}}) {
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
  console.SpinnerStep();
  EXPECT_EQ(parts.terminal.text(), "");
  EXPECT_EQ(parts.report.text(), "");
  EXPECT_EQ(parts.errors.text(), "");
}

TEST(SpinnerStep, TurnsThroughFourCharactersInPlace) {
  ConsoleParts parts;
  Console console(parts.Streams(80, true));
  for (int i = 0; i < 6; ++i) console.SpinnerStep();
  EXPECT_EQ(parts.terminal.text(), "\b/\b-\b\\\b|\b/\b-");
}

TEST(SpinnerStep, PacedSpinnerKeepsTurningButDrawsLess) {
  ConsoleParts parts;
  Console console(parts.Streams(80, true), std::chrono::hours(1));
  for (int i = 0; i < 1000; ++i) console.SpinnerStep();
  // Only the first step is drawn within the hour; the position still advanced 1000 times.
  EXPECT_EQ(parts.terminal.text(), "\b/");
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

TEST(ReportProblem, EmptyMessageWritesNothingButStillCallsTheHook) {
  ConsoleParts parts;
  Console console(parts.Streams(80, true));
  bool hookCalled = false;
  EXPECT_EQ(console.ReportProblem("", [&] { hookCalled = true; }), kExitProblem);
  EXPECT_TRUE(hookCalled);
  EXPECT_EQ(parts.terminal.text() + parts.errors.text(), "");
}

TEST(Console, RemembersAFailedReportWrite) {
  ConsoleParts parts;
  Console console(parts.Streams(80, false));
  console.WriteLine("one");
  EXPECT_FALSE(console.ReportFailed());
  parts.report.fail = true;
  console.WriteLine("two");
  EXPECT_TRUE(console.ReportFailed());
  EXPECT_EQ(parts.report.text(), "one\n");
}

}  // namespace
}  // namespace zovu
