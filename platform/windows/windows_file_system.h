#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace zovu {

// Directories on Windows: every name and path goes through the wide ("W") calls and
// is UTF-8 on this side. The walk moves with SetCurrentDirectoryW; marks are paths.
class WindowsFileSystem final : public FileSystem {
 public:
  std::string ExpandPath(std::string_view path) override;
  bool ChangeDirectory(std::string_view path) override;
  bool EnterSubdirectory(std::string_view name) override;
  bool ReturnToParent() override;
  bool ListCurrentDirectory(EntryDetails details, DirectoryListing& out) override;
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view path) override;
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override;
  bool ReturnTo(const DirectoryMark& mark) override;
  std::unique_ptr<LineReader> OpenTextFile(std::string_view path) override;

 private:
  std::size_t entered_ = 0;  // subdirectories entered and not yet left
};

}  // namespace zovu
