#include "platform/posix/posix_keyboard.h"

#include <string_view>

#include "platform/posix/terminal_mode.h"

namespace zovu {
namespace {

// Enough for an escape sequence and a few keys typed since the last poll.
constexpr std::size_t kReadBytes = 32;

}  // namespace

PosixKeyboard::PosixKeyboard() {
  terminal_mode::Open();
}

void PosixKeyboard::BeginPolling() {
  terminal_mode::Begin();
}

void PosixKeyboard::EndPolling() {
  terminal_mode::End();
  keys_.Clear();  // keys decoded but not taken belong to the search that ended
}

bool PosixKeyboard::KeyWaiting() {
  if (!keys_.Empty()) return true;
  char buffer[kReadBytes];
  const std::size_t got = terminal_mode::ReadInput(buffer, sizeof buffer);
  if (got > 0) keys_.Feed(std::string_view(buffer, got));
  return !keys_.Empty();
}

int PosixKeyboard::ReadKey() {
  if (keys_.Empty()) KeyWaiting();
  return keys_.Next();
}

}  // namespace zovu
