#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/path_rules.h"

namespace zovu {

// The mask list that a search argument selects, such as "*.c,*.h;old".
std::string MakeMaskList(std::string_view arg, std::string_view defaultExt,
                         const PathContext& paths);
// The absolute start directory of a search argument, ending in the separator; with a
// leading "@" when the argument names a list file.
std::string MakeStartPath(std::string_view arg, const PathContext& paths);

// What a search argument asks for: the files of a start directory that its masks select,
// or the searches that the lines of a list file name.
struct SearchTarget {
  bool listFile = false;
  std::string path;   // the list file, or the start directory without a trailing separator
  std::string masks;  // the mask list of a start directory
};
SearchTarget MakeSearchTarget(std::string_view arg, const PathContext& paths);

struct ListLineArg {
  std::string arg;
  std::string defaultExt;
};
// The search argument of one list-file line, or nothing for a line to skip.
std::optional<ListLineArg> ListLineToArg(std::string_view line, PathStyle style);

}  // namespace zovu
