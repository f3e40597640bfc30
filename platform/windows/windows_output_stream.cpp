#include "platform/windows/windows_output_stream.h"

#include <algorithm>

#include "platform/windows/wide_text.h"

namespace zovu {
namespace {

// Older consoles refuse very long single writes.
constexpr DWORD kConsoleChunk = 8192;

}  // namespace

WindowsOutputStream::WindowsOutputStream(HANDLE handle) : handle_(handle) {
  DWORD mode = 0;
  console_ = handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool WindowsOutputStream::Write(std::string_view text) {
  if (failed_) return false;
  if (!console_) return WriteBytes(text);
  std::string whole = heldBack_;
  whole.append(text);
  const std::size_t tail = IncompleteUtf8Tail(whole);
  heldBack_ = whole.substr(whole.size() - tail);
  whole.resize(whole.size() - tail);
  return WriteConsoleText(whole);
}

bool WindowsOutputStream::WriteBytes(std::string_view bytes) {
  while (!failed_ && !bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr) || written == 0) {
      failed_ = true;
      // A pipe whose reading end was closed (Wine reports a POSIX pipe without a reader
      // as not connected).
      const DWORD error = GetLastError();
      readerGone_ =
          error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
    } else {
      bytes.remove_prefix(written);
    }
  }
  return !failed_;
}

bool WindowsOutputStream::WriteConsoleText(std::string_view text) {
  const std::wstring wide = WideFromUtf8(text);
  std::wstring_view rest = wide;
  while (!failed_ && !rest.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), kConsoleChunk));
    DWORD written = 0;
    if (!WriteConsoleW(handle_, rest.data(), chunk, &written, nullptr) || written == 0) {
      failed_ = true;
    } else {
      rest.remove_prefix(written);
    }
  }
  return !failed_;
}

}  // namespace zovu
