#include "platform/windows/windows_directory_tree.h"

#include <windows.h>

#include <string>
#include <utility>

#include "platform/windows/system_message.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_paths.h"

namespace zovu {
namespace {

// A path costs the system nothing to hold, so every directory of the walk is one.
class WindowsOpenDirectory final : public OpenDirectory {
 public:
  explicit WindowsOpenDirectory(std::wstring path) : path_(std::move(path)) {}
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

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

// The walk's paths skip the system's path rules (the "\\?\" form): no length limit, and a
// name that ends in a dot or a blank stays the name it is. The path must be full already.
std::wstring ExtendedLengthPath(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

// Failures that leave a directory out for want of something the system ran short of,
// not because it is gone or closed to the user, so that the count comes out short:
// memory, handles, or room for its path (which Wine, bound by the host's path limit,
// reports as a device failure).
bool LeavesCountShort(DWORD error) {
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ||
         error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES ||
         error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_GEN_FAILURE;
}

OpenOutcome FailureOutcome(DWORD error) {
  return LeavesCountShort(error) ? OpenOutcome::kExhausted : OpenOutcome::kRefused;
}

// Why the start could not be opened, in the system's words.
OpenedDirectory StartFailed(DWORD error) {
  return {nullptr, FailureOutcome(error), SystemMessage(error)};
}

// The bytes a file takes on disk, its identity and its number of links: what a
// disk-usage walk needs, which the listing does not give. False when the file cannot be
// looked at.
bool DiskUsageOf(const std::wstring& path, ListedEntry& entry) {
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_STANDARD_INFO standard{};
  const bool known =
      GetFileInformationByHandle(file, &info) &&
      GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard);
  CloseHandle(file);
  if (!known) return false;
  entry.size = static_cast<std::int64_t>(standard.AllocationSize.QuadPart);
  entry.device = info.dwVolumeSerialNumber;
  entry.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  entry.links = info.nNumberOfLinks;
  return true;
}

OpenedDirectory Opened(std::wstring path) {
  OpenedDirectory opened;
  opened.directory = std::make_unique<WindowsOpenDirectory>(std::move(path));
  opened.outcome = OpenOutcome::kOpened;
  return opened;
}

// A root ("C:\") keeps its separator; every other directory is joined with one.
std::wstring Joined(const std::wstring& directory, std::wstring_view name) {
  std::wstring path = directory;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

// A subdirectory that is gone or closed is skipped quietly; what ran short is named.
OpenedDirectory ChildFailed(DWORD error) {
  return LeavesCountShort(error) ? StartFailed(error) : OpenedDirectory{};
}

ListResult ListFailed(DWORD error) {
  if (!LeavesCountShort(error)) return ListOutcome::kFailed;
  return {ListOutcome::kExhausted, SystemMessage(error)};
}

// Starts a listing with a large directory-query buffer, which saves round trips to a
// file server. Some older servers refuse such a buffer or answer it with an empty
// listing, which looks like any other failed start; so a start that fails is asked again
// with the system's own buffer, and that answer stands (an empty root, a directory closed
// to the user).
HANDLE FindFirstEntry(const std::wstring& pattern, WIN32_FIND_DATAW& found) {
  const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find != INVALID_HANDLE_VALUE) return find;
  return FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                          0);
}

class WindowsReader final : public DirectoryReader {
 public:
  ListResult List(const OpenDirectory& directory, EntryDetails details,
                  ListingSink& sink) override {
    const std::wstring pattern =
        Joined(static_cast<const WindowsOpenDirectory&>(directory).path(), L"*");
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstEntry(pattern, found);
    if (find == INVALID_HANDLE_VALUE) {
      // An empty root directory has not even "." to list.
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return ListOutcome::kComplete;
      return ListFailed(error);
    }
    ListResult outcome = ListOutcome::kComplete;
    do {
      std::uint32_t attr = found.dwFileAttributes;
      if (IsLinkedDirectory(attr, found.dwReserved0)) attr &= ~FILE_ATTRIBUTE_DIRECTORY;
      name_.clear();
      AppendUtf8FromWide(name_, found.cFileName);
      ListedEntry entry;
      entry.name = name_;
      entry.attr = attr;
      // The listing carries sizes and times; bytes on disk take a call of their own.
      if (details != EntryDetails::kNamesOnly && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        entry.size = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
        if (details == EntryDetails::kSizesAndTimes)
          entry.time = DosDateTime(found.ftLastWriteTime);
        entry.detailsApart = details == EntryDetails::kDiskUsage;
      }
      if (!sink.Entry(entry)) {
        outcome = ListOutcome::kStopped;
        break;
      }
    } while (FindNextFileW(find, &found));
    if (outcome.outcome == ListOutcome::kComplete) {
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES) outcome = ListFailed(error);
    }
    FindClose(find);
    return outcome;
  }

  bool Describe(const OpenDirectory& directory, EntryDetails details, ListedEntry& entry) override {
    if (details != EntryDetails::kDiskUsage) return false;
    entry.detailsApart = false;
    return DiskUsageOf(Joined(static_cast<const WindowsOpenDirectory&>(directory).path(),
                              WideFromUtf8(entry.name)),
                       entry);
  }

 private:
  std::string name_;  // the entry at hand, converted into one reused buffer
};

}  // namespace

OpenedDirectory OpenWindowsStart(std::string_view path) {
  if (path.empty()) return {};
  std::wstring full = ExtendedLengthPath(FullPathName(WideFromUtf8(path)));
  if (full.empty()) return StartFailed(ERROR_INVALID_NAME);
  // The start may be reached through a link; only the walk below it refuses them.
  const DWORD attr = GetFileAttributesW(full.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return StartFailed(GetLastError());
  if ((attr & FILE_ATTRIBUTE_DIRECTORY) == 0) return StartFailed(ERROR_DIRECTORY);
  return Opened(std::move(full));
}

OpenedDirectory OpenWindowsChild(const OpenDirectory& parent, std::string_view name) {
  std::wstring path =
      Joined(static_cast<const WindowsOpenDirectory&>(parent).path(), WideFromUtf8(name));
  // The attributes are looked up by name, never matched as a pattern, so that a name with
  // wildcards opens nothing.
  const DWORD attr = GetFileAttributesW(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return ChildFailed(GetLastError());
  if ((attr & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
  // The listing already shows links as non-directories; this check keeps a link that
  // replaced the directory since from being followed. Only its tag tells a link from a
  // reparse point that holds a real directory.
  if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    WIN32_FIND_DATAW found{};
    const HANDLE find =
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return ChildFailed(GetLastError());
    FindClose(find);
    if (IsLinkedDirectory(found.dwFileAttributes, found.dwReserved0)) return {};
  }
  return Opened(std::move(path));
}

// A share, or a drive mapped to one, is reached over the network, which answers every
// request late.
Latency WindowsLatencyOf(const OpenDirectory& directory) {
  const std::wstring& path = static_cast<const WindowsOpenDirectory&>(directory).path();
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return Latency::kSlow;
  wchar_t volume[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) return Latency::kLocal;
  std::wstring_view root(volume);
  if (root.rfind(L"\\\\?\\", 0) == 0) root.remove_prefix(4);
  return GetDriveTypeW(std::wstring(root).c_str()) == DRIVE_REMOTE ? Latency::kSlow
                                                                   : Latency::kLocal;
}

std::unique_ptr<DirectoryReader> NewWindowsDirectoryReader() {
  return std::make_unique<WindowsReader>();
}

}  // namespace zovu
