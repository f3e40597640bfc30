#include "support/console.h"

#include <string>

namespace zovu {
namespace {

constexpr std::string_view kSpinner = "/-\\|";
constexpr std::string_view kProblemHeader = "PROBLEM: ";
// Reading the clock costs more than drawing is worth on every step of a fast walk.
constexpr std::uint32_t kStepsPerClockCheck = 32;

}  // namespace

Console::Console(ConsoleStreams streams, std::chrono::nanoseconds spinnerInterval)
    : streams_(streams),
      spinnerInterval_(spinnerInterval),
      lastSpinnerDraw_(std::chrono::steady_clock::now() - spinnerInterval),
      stepsSinceClockCheck_(kStepsPerClockCheck - 1) {}

void Console::Write(std::string_view text) {
  if (!reportFailed_ && !streams_.report->Write(text)) reportFailed_ = true;
}

void Console::WriteLine(std::string_view text) {
  std::string line(text);
  line += streams_.lineEnd;
  Write(line);
}

void Console::WriteStatus(std::string_view text) {
  if (streams_.status != nullptr) streams_.status->Write(text);
}

void Console::ClearStatusLine() {
  if (streams_.status == nullptr) return;
  const int width = ScreenWidth();
  // One column short of the edge, so the cursor does not wrap to the next line.
  const int blanks = width - 1 < 1 ? 1 : width - 1;
  std::string line = "\r";
  line.append(static_cast<std::size_t>(blanks), ' ');
  line += '\r';
  streams_.status->Write(line);
}

void Console::SpinnerStep() {
  const char shown = kSpinner[spinnerPosition_];
  spinnerPosition_ = static_cast<std::uint8_t>((spinnerPosition_ + 1) % 4);
  if (streams_.status == nullptr) return;
  if (spinnerInterval_.count() > 0) {
    if (++stepsSinceClockCheck_ < kStepsPerClockCheck) return;
    stepsSinceClockCheck_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSpinnerDraw_ < spinnerInterval_) return;
    lastSpinnerDraw_ = now;
  }
  const char step[2] = {'\b', shown};
  streams_.status->Write(std::string_view(step, 2));
}

void Console::ShowSpinner(std::uint64_t steps) {
  if (streams_.status == nullptr) return;
  if (spinnerInterval_.count() > 0) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSpinnerDraw_ < spinnerInterval_) return;
    lastSpinnerDraw_ = now;
  }
  const char step[2] = {'\b', kSpinner[steps % kSpinner.size()]};
  streams_.status->Write(std::string_view(step, 2));
}

int Console::FinishReport(int status) {
  if (!reportFailed_) return status;
  if (streams_.report->ReaderGone()) return kExitProblem;
  return ReportProblem("Could not write the report");
}

int Console::ReportProblem(std::string_view message, const std::function<void()>& hook) {
  if (hook) hook();
  if (message.empty()) return kExitProblem;
  // On a terminal the header begins with a carriage return, after the status line is cleared.
  const bool onTerminal = streams_.status != nullptr;
  if (onTerminal) ClearStatusLine();
  std::string text(onTerminal ? "\r" : "");
  text.append(kProblemHeader).append(message).append(streams_.lineEnd);
  streams_.problems->Write(text);
  return kExitProblem;
}

}  // namespace zovu
