#pragma once

#include <string>
#include <string_view>

namespace zovu {

// The absolute form of path taken against currentDir, by text alone: "." and ".."
// segments are resolved (".." of "/" is "/"), repeated "/" collapse, and symbolic
// links are not looked at. The result has no trailing "/" unless it is the root.
std::string ExpandPosixPath(std::string_view currentDir, std::string_view path);

}  // namespace zovu
