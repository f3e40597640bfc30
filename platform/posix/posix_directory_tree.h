#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/directory_tree.h"

namespace zovu {

// The walk's directories on POSIX: each an open handle, subdirectories opened relative to
// their parent's handle without following links. Listing uses getdents64 on Linux and
// readdir elsewhere, or everywhere when built with ZOVU_PORTABLE_POSIX.
OpenedDirectory OpenPosixStart(std::string_view path);
OpenedDirectory OpenPosixChild(const OpenDirectory& parent, std::string_view name);
DirectoryIdentity IdentifyPosixDirectory(const OpenDirectory& directory);
std::unique_ptr<DirectoryReader> NewPosixDirectoryReader();
HandlePlan PlanPosixHandles(std::size_t threads);
Latency PosixLatencyOf(const OpenDirectory& directory);

}  // namespace zovu
