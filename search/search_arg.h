#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "search/path_rules.h"

namespace zovu {

// What a search argument asks for: the files of a start directory that its masks select,
// or the searches that the lines of a list file name.
struct SearchTarget {
  enum class Kind { kDirectory, kListFile };
  Kind kind = Kind::kDirectory;
  // A directory: absolute, without a trailing separator but for a root.
  std::string startDir;
  // A directory: its mask list, such as "*.c,*.h;old".
  std::string masks;
  // A list file: its absolute path.
  std::string listPath;
};

// Reads a search argument "[@][path][/][mask][[,mask]...][;tail]" once. A mask without an
// extension takes defaultExt (".*" on the command line; a list file's lines give their
// own, and an empty one stands for ".*"). Relative paths are taken from the current
// directory at the time.
SearchTarget ParseSearchArg(std::string_view arg, std::string_view defaultExt,
                            const PathContext& paths);

struct ListLineArg {
  std::string arg;
  std::string defaultExt;
};
// The search argument of one list-file line, or nothing for a line to skip.
std::optional<ListLineArg> ListLineToArg(std::string_view line, PathStyle style);

}  // namespace zovu
