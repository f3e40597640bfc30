#include "search/search_spec.h"

namespace zovu {

// Stand-ins until the search argument grammar lands: the argument is a directory.
std::string MakeMaskList(std::string_view, std::string_view, const PathContext&) {
  return "*.*";
}

std::string MakeStartPath(std::string_view arg, const PathContext& paths) {
  std::string dir = paths.ExpandPath(arg.empty() ? std::string_view(".") : arg);
  AddTrailingBackslash(paths.style, dir);
  return dir;
}

std::optional<ListLineArg> ListLineToArg(std::string_view, PathStyle) {
  return std::nullopt;
}

}  // namespace zovu
