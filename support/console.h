#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/output_stream.h"
#include "platform/status_line.h"

namespace zovu {

// Where the console text goes. The report (usage text, table, summary) goes to
// standard output; the status line only to a terminal, never into a pipe or file.
struct ConsoleStreams {
  OutputStream* report = nullptr;
  OutputStream* status = nullptr;  // the terminal on standard error, or null
  OutputStream* problems = nullptr;
  unsigned columns = 80;
  std::string_view lineEnd = "\n";
  bool reportIsTerminal = false;     // names in the report are then shown terminal-safe
  StatusLine* statusLine = nullptr;  // told what the status line shows, when given
  bool terminalShowsUtf8 = false;    // the terminal, when the report goes to one, shows UTF-8
};

// Exit statuses: success, a search that met errors, a problem that ended the run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSearchErrors = 1;
inline constexpr int kExitProblem = 2;

// The problem line of a run that ran out of memory; it is written without the console,
// which would need memory for it.
inline constexpr std::string_view kOutOfMemoryLine = "PROBLEM: Out of memory";

using ConsoleClock = std::function<std::chrono::steady_clock::time_point()>;

class Console {
 public:
  // spinnerInterval limits how often the spinner is redrawn, by the time that clock tells;
  // zero redraws on every call.
  explicit Console(ConsoleStreams streams,
                   std::chrono::nanoseconds spinnerInterval = std::chrono::nanoseconds::zero(),
                   ConsoleClock clock = std::chrono::steady_clock::now);

  // The console width in columns, at most 255.
  std::uint8_t ScreenWidth() const {
    return static_cast<std::uint8_t>(streams_.columns < 255 ? streams_.columns : 255);
  }
  std::string_view LineEnd() const { return streams_.lineEnd; }
  bool ReportIsTerminal() const { return streams_.reportIsTerminal; }
  // The report goes to a terminal that shows UTF-8 text, so characters beyond ASCII may
  // draw on it (the bars of the list).
  bool ReportIsUtf8Terminal() const {
    return streams_.reportIsTerminal && streams_.terminalShowsUtf8;
  }

  void Write(std::string_view text);
  void WriteLine(std::string_view text);
  // Writes text and the line end on standard error: a line beside the report that does
  // not end the run.
  void WriteNoteLine(std::string_view text);
  // Text of the status line ("Working  "); dropped when there is no terminal for it.
  void WriteStatus(std::string_view text);
  // Blanks the current line and leaves the cursor at its first column.
  void ClearStatusLine();
  // Turns the spinner ("/-\|", from "/") one position on, in place of the character
  // before the cursor, when steps (the entries handed over so far) has grown since it was
  // last drawn; at most once per spinner interval. Taking the position from steps itself
  // would show one character only, whenever the redraws fall on steps of one rhythm.
  void ShowSpinner(std::uint64_t steps);
  // Writes "PROBLEM: " and message on standard error and returns the exit status with
  // which the run ends.
  int ReportProblem(std::string_view message);

  // The exit status with which a run ends after its report: status, or kExitProblem
  // when a write of the report failed. That failure is reported, unless the reader of
  // the report has gone (a closed pipe, as after "| head"): then the run ends quietly.
  int FinishReport(int status);

 private:
  void TellStatusLine();

  ConsoleStreams streams_;
  std::chrono::nanoseconds spinnerInterval_;
  ConsoleClock clock_;
  std::chrono::steady_clock::time_point lastSpinnerDraw_{};
  bool spinnerDrawn_ = false;  // drawn at least once: the interval counts from then
  std::uint64_t stepsDrawn_ = 0;
  std::size_t spinnerPosition_ = 0;
  bool reportFailed_ = false;
  std::string clearLine_;  // the bytes that blank the status line
  // The bytes that draw the status line again from its first column: what was written to
  // it since it was last blanked, with only the last of the spinner's redraws in a row.
  std::string redraw_;
  bool spinnerLast_ = false;  // redraw_ ends in a spinner character
};

}  // namespace zovu
