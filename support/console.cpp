#include "support/console.h"

#include <string>
#include <utility>

namespace zovu {
namespace {

constexpr std::string_view kSpinner = "/-\\|";
constexpr std::string_view kProblemHeader = "PROBLEM: ";

}  // namespace

Console::Console(ConsoleStreams streams, std::chrono::nanoseconds spinnerInterval,
                 ConsoleClock clock)
    : streams_(streams),
      spinnerInterval_(spinnerInterval),
      clock_(std::move(clock)),
      redraw_("\r") {
  const int width = ScreenWidth();
  // One column short of the edge, so the cursor does not wrap to the next line.
  const int blanks = width - 1 < 1 ? 1 : width - 1;
  clearLine_ = "\r";
  clearLine_.append(static_cast<std::size_t>(blanks), ' ');
  clearLine_ += '\r';
}

void Console::Write(std::string_view text) {
  if (!reportFailed_ && !streams_.report->Write(text)) reportFailed_ = true;
}

void Console::WriteLine(std::string_view text) {
  std::string line(text);
  line += streams_.lineEnd;
  Write(line);
}

void Console::WriteNoteLine(std::string_view text) {
  if (streams_.problems == nullptr) return;
  std::string line(text);
  line += streams_.lineEnd;
  streams_.problems->Write(line);
}

void Console::WriteStatus(std::string_view text) {
  if (streams_.status == nullptr) return;
  streams_.status->Write(text);
  redraw_.append(text);
  spinnerLast_ = false;
  TellStatusLine();
}

void Console::ClearStatusLine() {
  if (streams_.status == nullptr) return;
  streams_.status->Write(clearLine_);
  // Told only once the line is blank: a signal in between blanks it once more.
  if (streams_.statusLine != nullptr) streams_.statusLine->Blanked();
  redraw_ = "\r";
  spinnerLast_ = false;
}

void Console::ShowSpinner(std::uint64_t steps) {
  if (streams_.status == nullptr || (spinnerDrawn_ && steps == stepsDrawn_)) return;
  if (spinnerInterval_.count() > 0) {
    const auto now = clock_();
    if (spinnerDrawn_ && now - lastSpinnerDraw_ < spinnerInterval_) return;
    lastSpinnerDraw_ = now;
  }
  if (spinnerDrawn_) spinnerPosition_ = (spinnerPosition_ + 1) % kSpinner.size();
  spinnerDrawn_ = true;
  stepsDrawn_ = steps;
  const char shown = kSpinner[spinnerPosition_];
  const char step[2] = {'\b', shown};
  streams_.status->Write(std::string_view(step, 2));
  if (spinnerLast_) {
    redraw_.back() = shown;
  } else {
    redraw_.append(step, 2);
    spinnerLast_ = true;
  }
  TellStatusLine();
}

void Console::TellStatusLine() {
  if (streams_.statusLine != nullptr) streams_.statusLine->Shown(redraw_, clearLine_);
}

int Console::FinishReport(int status) {
  if (!reportFailed_) return status;
  if (streams_.report->ReaderGone()) return kExitProblem;
  return ReportProblem("Could not write the report");
}

int Console::ReportProblem(std::string_view message) {
  // On a terminal the header begins with a carriage return, after the status line is cleared.
  const bool onTerminal = streams_.status != nullptr;
  if (onTerminal) ClearStatusLine();
  std::string text(onTerminal ? "\r" : "");
  text.append(kProblemHeader).append(message).append(streams_.lineEnd);
  streams_.problems->Write(text);
  return kExitProblem;
}

}  // namespace zovu
