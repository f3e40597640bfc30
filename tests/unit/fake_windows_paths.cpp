#include "unit/fake_windows_paths.h"

#include <vector>

#include "support/ascii.h"

namespace zovu::testing {
namespace {

bool IsLetter(char c) {
  const char upper = AsciiUpper(c);
  return upper >= 'A' && upper <= 'Z';
}

}  // namespace

std::string FakeWindowsPaths::ExpandPath(std::string_view path) {
  std::string text(path);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  std::string_view rest = text;
  char drive = currentDrive_;
  if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
    drive = AsciiUpper(rest[0]);
    rest.remove_prefix(2);
  }
  std::vector<std::string_view> segments;
  auto take = [&segments](std::string_view part) {
    while (!part.empty()) {
      const std::size_t sep = part.find('\\');
      const std::string_view segment = part.substr(0, sep);
      if (segment == "..") {
        if (!segments.empty()) segments.pop_back();
      } else if (!segment.empty() && segment != ".") {
        segments.push_back(segment);
      }
      if (sep == std::string_view::npos) break;
      part.remove_prefix(sep + 1);
    }
  };
  const auto known = driveDirs_.find(drive);
  const std::string driveDir =
      known != driveDirs_.end() ? known->second : std::string(1, drive) + ":\\";
  if (rest.empty() || rest.front() != '\\') take(std::string_view(driveDir).substr(2));
  take(rest);
  std::string result(1, drive);
  result += ":\\";
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) result += '\\';
    result += segments[i];
  }
  return result;
}

}  // namespace zovu::testing
