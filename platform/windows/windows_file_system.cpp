#include "platform/windows/windows_file_system.h"

#include <windows.h>

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_line_reader.h"
#include "platform/windows/windows_paths.h"

namespace zovu {
namespace {

class WindowsDirectoryMark final : public DirectoryMark {
 public:
  explicit WindowsDirectoryMark(std::wstring path) : path_(std::move(path)) {}
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

bool IsDirectory(const std::wstring& path) {
  const DWORD attr = GetFileAttributesW(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Links and junctions are name surrogates. Wine reports its links without a tag (0).
// Other directory reparse points, such as cloud-file placeholders, hold real
// directories and are walked like any other.
bool IsLinkedDirectory(DWORD attr, DWORD reparseTag) {
  constexpr DWORD kBoth = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  return (attr & kBoth) == kBoth && (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

std::uint32_t DosDateTime(const FILETIME& written) {
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return (static_cast<std::uint32_t>(date) << 16) | time;
}

}  // namespace

std::string WindowsFileSystem::ExpandPath(std::string_view path) {
  const std::wstring full = FullPathName(WideFromUtf8(path.empty() ? std::string_view(".") : path));
  return full.empty() ? std::string(path) : Utf8FromWide(full);
}

bool WindowsFileSystem::ChangeDirectory(std::string_view path) {
  entered_ = 0;
  return SetCurrentDirectoryKeepingDrives(WideFromUtf8(path));
}

bool WindowsFileSystem::EnterSubdirectory(std::string_view name) {
  const std::wstring wide = WideFromUtf8(name);
  // The listing already shows links as non-directories; this check keeps a link that
  // replaced the directory since from being followed.
  WIN32_FIND_DATAW found{};
  const HANDLE find =
      FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      IsLinkedDirectory(found.dwFileAttributes, found.dwReserved0)) {
    return false;
  }
  if (!SetCurrentDirectoryW(wide.c_str())) return false;
  ++entered_;
  return true;
}

bool WindowsFileSystem::ReturnToParent() {
  if (entered_ == 0) return false;
  --entered_;
  return SetCurrentDirectoryW(L"..") != 0;
}

bool WindowsFileSystem::ListCurrentDirectory(EntryDetails details, DirectoryListing& out) {
  WIN32_FIND_DATAW found{};
  const HANDLE find = FindFirstFileExW(L"*", FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  // An empty root directory has not even "." to list.
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  const bool wantDetails = details != EntryDetails::kNamesOnly;
  const bool wantTimes = details == EntryDetails::kSizesAndTimes;
  do {
    std::uint32_t attr = found.dwFileAttributes;
    if (IsLinkedDirectory(attr, found.dwReserved0)) attr &= ~FILE_ATTRIBUTE_DIRECTORY;
    std::int64_t size = 0;
    std::uint32_t time = 0;
    // As on POSIX, only entries that are not walked as directories carry details.
    if (wantDetails && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      size = static_cast<std::int64_t>((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) |
                                       found.nFileSizeLow);
      if (wantTimes) time = DosDateTime(found.ftLastWriteTime);
    }
    out.Add(Utf8FromWide(found.cFileName), attr, size, time);
  } while (FindNextFileW(find, &found));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

std::unique_ptr<DirectoryMark> WindowsFileSystem::MarkDriveDirectory(std::string_view path) {
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  // A path without a drive (a network share) changes no drive's directory.
  if (!drive) return MarkCurrentDirectory();
  std::wstring directory = FullPathName(WideFromUtf8(path.substr(0, 2)));
  // A drive that does not exist has no directory to go back to.
  if (directory.empty() || !IsDirectory(directory)) return nullptr;
  return std::make_unique<WindowsDirectoryMark>(std::move(directory));
}

std::unique_ptr<DirectoryMark> WindowsFileSystem::MarkCurrentDirectory() {
  std::wstring directory = CurrentDirectory();
  if (directory.empty()) return nullptr;
  return std::make_unique<WindowsDirectoryMark>(std::move(directory));
}

bool WindowsFileSystem::ReturnTo(const DirectoryMark& mark) {
  entered_ = 0;
  return SetCurrentDirectoryKeepingDrives(static_cast<const WindowsDirectoryMark&>(mark).path());
}

std::unique_ptr<LineReader> WindowsFileSystem::OpenTextFile(std::string_view path) {
  return OpenWindowsLineReader(path);
}

}  // namespace zovu
