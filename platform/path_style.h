#pragma once

#include <string>
#include <string_view>

namespace zovu {

// How paths are written: Windows ("\" separator, "/" accepted, drive letters) or
// POSIX ("/" only, no drives).
enum class PathStyle { kWindows, kPosix };

// True when c ends the directory part of a path: "/" always; on Windows "\" and the
// ":" after a drive letter too.
constexpr bool EndsDirectoryPart(PathStyle style, char c) {
  return c == '/' || (style == PathStyle::kWindows && (c == '\\' || c == ':'));
}

// Makes a path absolute against the current directories, resolving "." and "..".
class PathExpander {
 public:
  virtual ~PathExpander() = default;
  virtual std::string ExpandPath(std::string_view path) = 0;
};

}  // namespace zovu
