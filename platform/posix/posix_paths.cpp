#include "platform/posix/posix_paths.h"

#include <vector>

namespace zovu {

std::string ExpandPosixPath(std::string_view currentDir, std::string_view path) {
  std::vector<std::string_view> segments;
  auto take = [&segments](std::string_view text) {
    while (!text.empty()) {
      const std::size_t slash = text.find('/');
      const std::string_view segment = text.substr(0, slash);
      if (segment == "..") {
        if (!segments.empty()) segments.pop_back();
      } else if (!segment.empty() && segment != ".") {
        segments.push_back(segment);
      }
      if (slash == std::string_view::npos) break;
      text.remove_prefix(slash + 1);
    }
  };
  if (path.empty() || path.front() != '/') take(currentDir);
  take(path);
  std::string result;
  for (const std::string_view segment : segments) {
    result += '/';
    result += segment;
  }
  return result.empty() ? std::string("/") : result;
}

}  // namespace zovu
