#include "platform/windows/windows_line_reader.h"

#include <windows.h>

#include <algorithm>

#include "platform/chunked_line_reader.h"
#include "platform/windows/wide_text.h"

namespace zovu {
namespace {

class WindowsLineReader final : public ChunkedLineReader {
 public:
  explicit WindowsLineReader(HANDLE file) : file_(file) {}
  ~WindowsLineReader() override { CloseHandle(file_); }
  WindowsLineReader(const WindowsLineReader&) = delete;
  WindowsLineReader& operator=(const WindowsLineReader&) = delete;

 protected:
  std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(file_, buffer, wanted, &got, nullptr)) return -1;
    return static_cast<std::ptrdiff_t>(got);
  }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<LineReader> OpenWindowsLineReader(std::string_view path) {
  // Without backup semantics a directory cannot be opened, so a directory fails here.
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WindowsLineReader>(file);
}

}  // namespace zovu
