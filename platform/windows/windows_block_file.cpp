#include "platform/windows/windows_block_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/windows/wide_text.h"

namespace zovu {
namespace {

// ReadFile and WriteFile take 32-bit counts; larger transfers go in pieces.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

// Whether the file is on its way out: removed by the save that made it, and gone once
// its last handle is closed.
bool DeletePending(HANDLE file) {
  FILE_STANDARD_INFO info{};
  return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) &&
         info.DeletePending;
}

class WindowsBlockFile final : public BlockFile {
 public:
  WindowsBlockFile(HANDLE file, bool created) : file_(file), created_(created) {}
  ~WindowsBlockFile() override { Close(); }
  WindowsBlockFile(const WindowsBlockFile&) = delete;
  WindowsBlockFile& operator=(const WindowsBlockFile&) = delete;

  std::optional<std::int64_t> Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_, &size)) return std::nullopt;
    return static_cast<std::int64_t>(size.QuadPart);
  }

  bool Seek(std::int64_t offset) override {
    if (offset < 0) return false;
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    return SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) != 0;
  }

  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    std::size_t total = 0;
    while (total < buffer.size()) {
      const auto wanted = static_cast<DWORD>(std::min(buffer.size() - total, kMostPerCall));
      DWORD got = 0;
      if (!ReadFile(file_, buffer.data() + total, wanted, &got, nullptr)) return std::nullopt;
      if (got == 0) break;  // the end of the file
      total += got;
    }
    return total;
  }

  std::size_t Write(std::span<const std::uint8_t> data) override {
    std::size_t total = 0;
    while (total < data.size()) {
      const auto wanted = static_cast<DWORD>(std::min(data.size() - total, kMostPerCall));
      DWORD put = 0;
      if (!WriteFile(file_, data.data() + total, wanted, &put, nullptr) || put == 0) break;
      total += put;
    }
    return total;
  }

  // SetEndOfFile cuts at the file pointer; the pointer is put back afterwards, so that,
  // as with ftruncate, the position stays where it was.
  bool Truncate(std::int64_t size) override {
    if (size < 0) return false;
    LARGE_INTEGER none{};
    LARGE_INTEGER position{};
    LARGE_INTEGER to{};
    to.QuadPart = size;
    if (!SetFilePointerEx(file_, none, &position, FILE_CURRENT) ||
        !SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) {
      return false;
    }
    const bool cut = SetEndOfFile(file_) != 0;
    return SetFilePointerEx(file_, position, nullptr, FILE_BEGIN) && cut;
  }

  // The whole file, also what lies past its end now; without FILE_FLAG_OVERLAPPED the
  // call waits until the lock is granted.
  bool Lock() override {
    OVERLAPPED from{};
    locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from) != 0;
    return locked_ && !DeletePending(file_);
  }

  bool Close() override {
    if (file_ == INVALID_HANDLE_VALUE) return true;
    // Windows frees the lock of a closed handle only some time later; the next waiting
    // process gets it at once this way.
    if (locked_) {
      OVERLAPPED from{};
      UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &from);
      locked_ = false;
    }
    const BOOL closed = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return closed != 0;
  }

  bool Created() const override { return created_; }

  // Only the handle that made the file has the right to delete it. The file goes when its
  // last handle is closed; a save that waits for the lock sees it pending until then.
  bool Remove() override {
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    const bool removed =
        created_ && file_ != INVALID_HANDLE_VALUE &&
        SetFileInformationByHandle(file_, FileDispositionInfo, &dispose, sizeof dispose) != 0;
    Close();
    return removed;
  }

 private:
  HANDLE file_;
  bool created_;
  bool locked_ = false;
};

// A regular file on a disk: not a device such as CON or NUL, not a pipe, not a
// directory, and no reparse point (a symbolic link, opened as itself).
bool IsRegularFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of what it leads to, and
// makes no file where a dangling one points. Every handle shares deletion, so that the
// save that made the file can remove it again.
HANDLE OpenName(const std::wstring& name, DWORD access, DWORD disposition) {
  return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                     nullptr);
}

}  // namespace

std::unique_ptr<BlockFile> WindowsBlockFileOpener::Open(std::string_view name) {
  const std::wstring wide = WideFromUtf8(name);
  // A missing file is made with CREATE_NEW, so that it is known to be this save's own;
  // an existing one is opened as it is, never truncated. Without backup semantics a
  // directory cannot be opened; a read-only file cannot be opened for writing. Another
  // process may make or remove the file between the two opens: then again.
  for (int attempt = 0; attempt < 16; ++attempt) {
    HANDLE file = OpenName(wide, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_NEW);
    const bool created = file != INVALID_HANDLE_VALUE;
    if (!created && GetLastError() == ERROR_FILE_EXISTS) {
      file = OpenName(wide, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
      if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) continue;
    }
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (!IsRegularFile(file)) {
      CloseHandle(file);
      return nullptr;
    }
    return std::make_unique<WindowsBlockFile>(file, created);
  }
  return nullptr;
}

}  // namespace zovu
