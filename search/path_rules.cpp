#include "search/path_rules.h"

namespace zovu {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

char Separator(PathStyle style) {
  return style == PathStyle::kWindows ? '\\' : '/';
}

void SlashesToBackslashes(PathStyle style, std::string& text) {
  if (style != PathStyle::kWindows) return;
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
}

std::string StripTrailingBackslashes(PathStyle style, std::string_view path) {
  const char sep = Separator(style);
  std::size_t keep = 1;
  if (style == PathStyle::kWindows && path.size() > 1 && IsAsciiLetter(path[0]) && path[1] == ':') {
    keep = 3;
  }
  while (path.size() > keep && path.back() == sep) path.remove_suffix(1);
  return std::string(path);
}

void AddTrailingBackslash(PathStyle style, std::string& path) {
  const char sep = Separator(style);
  if (style == PathStyle::kWindows) {
    if (path.size() > 3 && path.back() != sep) path += sep;
    return;
  }
  if (!path.empty() && path.back() != sep) path += sep;
}

SplitPathResult SplitPath(PathStyle style, std::string_view path) {
  std::size_t dirEnd = 0;
  for (std::size_t i = path.size(); i > 0; --i) {
    if (EndsDirectoryPart(style, path[i - 1])) {
      dirEnd = i;
      break;
    }
  }
  SplitPathResult parts;
  parts.dir = std::string(path.substr(0, dirEnd));
  SlashesToBackslashes(style, parts.dir);
  const std::string_view rest = path.substr(dirEnd);
  const std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos) {
    parts.name = std::string(rest);
  } else {
    parts.name = std::string(rest.substr(0, dot));
    parts.ext = std::string(rest.substr(dot));
  }
  return parts;
}

std::string CollapseDoubledSeparators(PathStyle style, std::string_view path) {
  const char sep = Separator(style);
  std::string result;
  result.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i >= 2 && path[i] == sep && path[i - 1] == sep) continue;
    result += path[i];
  }
  return result;
}

std::string TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

}  // namespace zovu
