#pragma once

#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace zovu {

// The path style in force together with the expansion of relative paths.
struct PathContext {
  PathStyle style;
  PathExpander& expander;
  std::string ExpandPath(std::string_view path) const { return expander.ExpandPath(path); }
};

struct SplitPathResult {
  std::string dir;   // up to and including the last separator (or drive colon)
  std::string name;  // between dir and ext
  std::string ext;   // from the last dot after dir, the dot included; may be empty
};

char Separator(PathStyle style);
// Windows: every "/" becomes "\". POSIX: nothing changes.
void SlashesToBackslashes(PathStyle style, std::string& text);
// Removes trailing separators but keeps a root ("C:\", "\", "/").
std::string StripTrailingBackslashes(PathStyle style, std::string_view path);
// Appends one separator where the path needs it to name a directory.
void AddTrailingBackslash(PathStyle style, std::string& path);
SplitPathResult SplitPath(PathStyle style, std::string_view path);
// Reduces every run of separators to one, except that the first character is kept as it
// is, so a leading pair (a network path) stays.
std::string CollapseDoubledSeparators(PathStyle style, std::string_view path);
std::string TrimSpaces(std::string_view text);

}  // namespace zovu
