#include "platform/posix/terminal_status.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace zovu::terminal_status {
namespace {

StatusLineRecord record;
// Set while something was not drawn: the line on the terminal is not the one recorded.
std::atomic<bool> withheld{false};

// A background job must not draw over the line of the job in the foreground.
bool MayDraw() {
  const pid_t group = ::tcgetpgrp(STDERR_FILENO);
  return group < 0 || group == ::getpgrp();
}

void WriteAll(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(STDERR_FILENO, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

class StatusStream final : public OutputStream {
 public:
  bool Write(std::string_view text) override {
    if (!MayDraw()) {
      withheld = true;
      return true;
    }
    if (withheld) Redraw();
    WriteAll(text.data(), text.size());
    return true;
  }
};

}  // namespace

StatusLineRecord& Record() {
  return record;
}

void Blank() {
  const StatusLineRecord::Version* shown = record.Current();
  if (shown == nullptr || !MayDraw()) return;
  WriteAll(shown->blank, shown->blankSize);
  record.Blanked();
}

void Redraw() {
  if (!MayDraw()) return;
  withheld = false;
  const StatusLineRecord::Version* shown = record.Current();
  if (shown != nullptr) WriteAll(shown->redraw, shown->redrawSize);
}

void RedrawWithheld() {
  if (withheld) Redraw();
}

std::unique_ptr<OutputStream> OpenStream() {
  return std::make_unique<StatusStream>();
}

}  // namespace zovu::terminal_status
