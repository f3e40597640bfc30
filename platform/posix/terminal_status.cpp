#include "platform/posix/terminal_status.h"

#include <unistd.h>

#include <cerrno>

namespace zovu::terminal_status {
namespace {

StatusLineRecord record;

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
  const StatusLineRecord::Version* shown = record.Current();
  if (shown != nullptr && MayDraw()) WriteAll(shown->redraw, shown->redrawSize);
}

}  // namespace zovu::terminal_status
