#include "platform/windows/windows_file_system.h"

#include <windows.h>

#include "platform/windows/wide_text.h"
#include "platform/windows/windows_directory_tree.h"
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

}  // namespace

std::string WindowsFileSystem::ExpandPath(std::string_view path) {
  const std::wstring full = FullPathName(WideFromUtf8(path.empty() ? std::string_view(".") : path));
  return full.empty() ? std::string(path) : Utf8FromWide(full);
}

OpenedDirectory WindowsFileSystem::OpenStart(std::string_view path) {
  return OpenWindowsStart(path);
}

OpenedDirectory WindowsFileSystem::OpenChild(const OpenDirectory& parent, std::string_view name) {
  return OpenWindowsChild(parent, name);
}

// Paths are never reopened here (no handle is scarce), so nothing asks who one is.
DirectoryIdentity WindowsFileSystem::Identify(const OpenDirectory&) {
  return {};
}

std::unique_ptr<DirectoryReader> WindowsFileSystem::NewReader() {
  return NewWindowsDirectoryReader();
}

Latency WindowsFileSystem::LatencyOf(const OpenDirectory& directory) {
  return WindowsLatencyOf(directory);
}

HandlePlan WindowsFileSystem::PlanHandles(std::size_t threads) {
  return {threads, SIZE_MAX};
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
  return SetCurrentDirectoryKeepingDrives(static_cast<const WindowsDirectoryMark&>(mark).path());
}

OpenedTextFile WindowsFileSystem::OpenTextFile(std::string_view path) {
  return OpenWindowsLineReader(path);
}

}  // namespace zovu
