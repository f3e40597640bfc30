#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace zovu::testing {

// Windows-style path expansion by text alone, with one current directory per drive:
// "/" reads as "\", a relative path is taken against its drive's directory (or the
// current drive's), "." and ".." resolve, and a root is its own parent. The result has
// no trailing "\" unless it is a root such as "C:\".
class FakeWindowsPaths final : public PathExpander {
 public:
  // driveDirs maps an upper-case drive letter to its current directory, "C:\WORK".
  FakeWindowsPaths(char currentDrive, std::map<char, std::string> driveDirs)
      : currentDrive_(currentDrive), driveDirs_(std::move(driveDirs)) {}
  std::string ExpandPath(std::string_view path) override;

 private:
  char currentDrive_;
  std::map<char, std::string> driveDirs_;
};

}  // namespace zovu::testing
