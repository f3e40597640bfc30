#include "platform/windows/windows_line_reader.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "platform/chunked_line_reader.h"
#include "platform/file_kind.h"
#include "platform/windows/system_message.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_paths.h"
#include "support/utf8.h"

namespace zovu {
namespace {

std::string Utf8FromAnsi(std::string_view text) {
  const auto size = static_cast<int>(text.size());  // a line is far shorter than INT_MAX
  std::wstring wide(text.size(), L'\0');            // never more UTF-16 units than bytes
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
  wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
  return Utf8FromWide(wide);
}

class WindowsLineReader final : public ChunkedLineReader {
 public:
  explicit WindowsLineReader(HANDLE file) : file_(file) {}
  ~WindowsLineReader() override { CloseHandle(file_); }
  WindowsLineReader(const WindowsLineReader&) = delete;
  WindowsLineReader& operator=(const WindowsLineReader&) = delete;
  std::string ReadProblem() const override { return problem_; }

  // Older tools write list files in the system's ANSI code page: a line that is not
  // UTF-8 is read in that code page, so that it names the files it was written for.
  std::string ReadLine() override {
    std::string line = ChunkedLineReader::ReadLine();
    if (!IsValidUtf8(line, Surrogates::kCharacters)) line = Utf8FromAnsi(line);
    return line;
  }

 protected:
  std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(file_, buffer, wanted, &got, nullptr)) {
      problem_ = SystemMessage(GetLastError());
      return -1;
    }
    return static_cast<std::ptrdiff_t>(got);
  }

 private:
  HANDLE file_;
  std::string problem_;
};

// What the name alone gives away: the system turns device names such as COM1, CON or
// AUX.txt into \\.\COM1, \\.\CON and \\.\AUX, and a path of one name after the device
// prefix (\\.\COM1, \\?\C:) names a device or a volume. Nothing when the name does not
// tell.
std::optional<FileKind> KindByName(const std::wstring& path) {
  const std::wstring full = FullPathName(path);
  if (full.size() > 4 && (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) &&
      full.find(L'\\', 4) == std::wstring::npos) {
    return FileKind::kDevice;
  }
  return std::nullopt;
}

FileKind KindOf(HANDLE file) {
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      return FileKind::kRegular;  // a directory cannot be opened here
    case FILE_TYPE_PIPE:
      return FileKind::kPipe;
    case FILE_TYPE_CHAR:
      return FileKind::kDevice;
    default:
      return FileKind::kOther;
  }
}

}  // namespace

OpenedTextFile OpenWindowsLineReader(std::string_view path) {
  const std::wstring wide = WideFromUtf8(path);
  // Decided before opening where the name tells: opening a serial port or a printer
  // already works the hardware.
  if (const std::optional<FileKind> kind = KindByName(wide); kind && !ReadableAsList(*kind)) {
    return {nullptr, SystemMessage(ERROR_NOT_SUPPORTED)};
  }
  // Without backup semantics a directory cannot be opened, so a directory fails here.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {nullptr, SystemMessage(GetLastError())};
  if (!ReadableAsList(KindOf(file))) {
    CloseHandle(file);
    return {nullptr, SystemMessage(ERROR_NOT_SUPPORTED)};
  }
  return {std::make_unique<WindowsLineReader>(file), {}};
}

}  // namespace zovu
