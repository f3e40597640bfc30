#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/directory_tree.h"

namespace zovu {

// The walk's directories on Windows: each a full path, listed with FindFirstFileExW.
// Directory links and junctions are listed as entries of their own and never entered.
OpenedDirectory OpenWindowsStart(std::string_view path);
OpenedDirectory OpenWindowsChild(const OpenDirectory& parent, std::string_view name);
std::unique_ptr<DirectoryReader> NewWindowsDirectoryReader();
Latency WindowsLatencyOf(const OpenDirectory& directory);

}  // namespace zovu
