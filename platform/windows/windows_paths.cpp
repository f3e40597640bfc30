#include "platform/windows/windows_paths.h"

#include <windows.h>

namespace zovu {
namespace {

bool IsDrivePath(const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':') return false;
  const wchar_t c = path[0];
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

void RecordDriveDirectory() {
  const std::wstring current = CurrentDirectory();
  if (!IsDrivePath(current)) return;
  wchar_t letter = current[0];
  if (letter >= L'a') letter = static_cast<wchar_t>(letter - L'a' + L'A');
  const wchar_t name[] = {L'=', letter, L':', L'\0'};
  SetEnvironmentVariableW(name, current.c_str());
}

}  // namespace

std::wstring FullPathName(const std::wstring& path) {
  std::wstring result(MAX_PATH, L'\0');
  for (;;) {
    const DWORD needed =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(result.size()), result.data(), nullptr);
    if (needed == 0) return {};
    if (needed < result.size()) {
      result.resize(needed);
      return result;
    }
    result.resize(needed);
  }
}

std::wstring CurrentDirectory() {
  std::wstring result(MAX_PATH, L'\0');
  for (;;) {
    const DWORD needed = GetCurrentDirectoryW(static_cast<DWORD>(result.size()), result.data());
    if (needed == 0) return {};
    if (needed < result.size()) {
      result.resize(needed);
      return result;
    }
    result.resize(needed);
  }
}

bool SetCurrentDirectoryKeepingDrives(const std::wstring& path) {
  RecordDriveDirectory();
  if (!SetCurrentDirectoryW(path.c_str())) return false;
  RecordDriveDirectory();
  return true;
}

}  // namespace zovu
