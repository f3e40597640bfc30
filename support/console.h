#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/output_stream.h"

namespace zovu {

// Where the console text goes. The report (usage text, table, summary) goes to
// standard output; the status line only to a terminal, never into a pipe or file.
struct ConsoleStreams {
  OutputStream* report = nullptr;
  OutputStream* status = nullptr;  // the terminal on standard error, or null
  OutputStream* problems = nullptr;
  unsigned columns = 80;
  std::string_view lineEnd = "\n";
  bool reportIsTerminal = false;  // names in the report are then shown terminal-safe
};

// Exit statuses: success, a search that met errors, a problem that ended the run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitSearchErrors = 1;
inline constexpr int kExitProblem = 2;

class Console {
 public:
  // spinnerInterval limits how often the spinner is redrawn; zero redraws on every step.
  explicit Console(ConsoleStreams streams,
                   std::chrono::nanoseconds spinnerInterval = std::chrono::nanoseconds::zero());

  // The console width in columns, taken modulo 256.
  std::uint8_t ScreenWidth() const { return static_cast<std::uint8_t>(streams_.columns % 256); }
  std::string_view LineEnd() const { return streams_.lineEnd; }
  bool ReportIsTerminal() const { return streams_.reportIsTerminal; }

  void Write(std::string_view text);
  void WriteLine(std::string_view text);
  // Text of the status line ("Working  "); dropped when there is no terminal for it.
  void WriteStatus(std::string_view text);
  // Blanks the current line and leaves the cursor at its first column.
  void ClearStatusLine();
  // Shows the next spinner character in place of the character before the cursor.
  void SpinnerStep();
  // Shows the spinner as it stands after steps steps in all, in place of the character
  // before the cursor; on a real terminal at most once per spinner interval.
  void ShowSpinner(std::uint64_t steps);
  // Writes "PROBLEM: " and message on standard error after calling hook (when given)
  // and returns the exit status with which the run ends.
  int ReportProblem(std::string_view message, const std::function<void()>& hook = nullptr);

  // True once a write of the report failed (a closed pipe, a full disk).
  bool ReportFailed() const { return reportFailed_; }
  // The exit status with which a run ends after its report: status, or kExitProblem
  // when a write of the report failed. That failure is reported, unless the reader of
  // the report has gone (a closed pipe, as after "| head"): then the run ends quietly.
  int FinishReport(int status);

 private:
  ConsoleStreams streams_;
  std::chrono::nanoseconds spinnerInterval_;
  std::chrono::steady_clock::time_point lastSpinnerDraw_{};
  std::uint8_t spinnerPosition_ = 0;
  std::uint32_t stepsSinceClockCheck_ = 0;
  bool reportFailed_ = false;
};

}  // namespace zovu
