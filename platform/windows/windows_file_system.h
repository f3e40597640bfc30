#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace zovu {

// Directories on Windows: every name and path goes through the wide ("W") calls and
// is UTF-8 on this side. The walk's directories and the marks are paths.
class WindowsFileSystem final : public FileSystem {
 public:
  std::string ExpandPath(std::string_view path) override;
  OpenedDirectory OpenStart(std::string_view path) override;
  OpenedDirectory OpenChild(const OpenDirectory& parent, std::string_view name) override;
  DirectoryIdentity Identify(const OpenDirectory& directory) override;
  std::unique_ptr<DirectoryReader> NewReader() override;
  HandlePlan PlanHandles(std::size_t threads) override;
  Latency LatencyOf(const OpenDirectory& directory) override;
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view path) override;
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override;
  bool ReturnTo(const DirectoryMark& mark) override;
  OpenedTextFile OpenTextFile(std::string_view path) override;
};

}  // namespace zovu
