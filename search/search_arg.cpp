#include "search/search_arg.h"

#include <algorithm>
#include <utility>

namespace zovu {
namespace {

constexpr std::string_view kParent = "..";

// The default extension in force; an empty one stands for ".*".
std::string_view EffectiveExt(std::string_view defaultExt) {
  return defaultExt.empty() ? std::string_view(".*") : defaultExt;
}

// A search argument cut into its pieces.
struct ArgPieces {
  bool listFile = false;  // it began with "@"
  std::string path;       // up to the first "," or ";", without the "@"
  std::string rest;       // from the first "," on, up to the first ";": further masks
  std::string tail;       // after the first ";"
};

ArgPieces CutArg(std::string_view arg, PathStyle style) {
  ArgPieces pieces;
  if (const std::size_t semicolon = arg.find(';'); semicolon != std::string_view::npos) {
    pieces.tail = arg.substr(semicolon + 1);
    arg = arg.substr(0, semicolon);
  }
  if (const std::size_t comma = arg.find(','); comma != std::string_view::npos) {
    pieces.rest = arg.substr(comma);
    arg = arg.substr(0, comma);
  }
  pieces.path = arg;
  SlashesToBackslashes(style, pieces.path);
  pieces.listFile = !pieces.path.empty() && pieces.path.front() == '@';
  if (pieces.listFile) pieces.path.erase(0, 1);
  return pieces;
}

// The mask list of a directory, or the name of a list file, which is taken as written.
std::string MaskText(std::string_view arg, const ArgPieces& pieces, std::string_view defaultExt,
                     PathStyle style) {
  // The parent test sees the raw argument, before the cuts at ";" and ",". The parent
  // directory stands for every file in it; its path is not cut, because a "," or ";" in
  // a directory name would make masks of the path's pieces.
  if (arg == kParent) return "*" + std::string(EffectiveExt(defaultExt));
  SplitPathResult parts = SplitPath(style, pieces.path);
  if (!pieces.listFile) {
    if (parts.name + parts.ext == ".") parts.ext = EffectiveExt(defaultExt);
    if (parts.ext.empty()) parts.ext = EffectiveExt(defaultExt);
    if (parts.name.empty()) parts.name = "*";
  }
  std::string masks = parts.name + parts.ext + pieces.rest;
  if (masks.empty()) {
    masks = "*";
    masks += EffectiveExt(defaultExt);
  }
  if (!pieces.tail.empty()) {
    masks += ';';
    masks += pieces.tail;
  }
  return masks;
}

// The directory part of the argument, made absolute. Here the parent test comes after
// the cuts, so "..,*.c" searches the parent.
std::string StartDirectory(const ArgPieces& pieces, const PathContext& paths) {
  std::string dir =
      pieces.path == kParent ? std::string(kParent) : SplitPath(paths.style, pieces.path).dir;
  if (dir.empty()) dir = ".";
  return StripTrailingBackslashes(paths.style, paths.ExpandPath(dir));
}

}  // namespace

SearchTarget ParseSearchArg(std::string_view arg, std::string_view defaultExt,
                            const PathContext& paths) {
  const ArgPieces pieces = CutArg(arg, paths.style);
  SearchTarget target;
  if (pieces.listFile) {
    target.kind = SearchTarget::Kind::kListFile;
    // The list file's name is the whole text after its directory, as written.
    const std::string path =
        SplitPath(paths.style, pieces.path).dir + MaskText(arg, pieces, defaultExt, paths.style);
    target.listPath = CollapseDoubledSeparators(paths.style, paths.ExpandPath(path));
    return target;
  }
  target.startDir = StartDirectory(pieces, paths);
  target.masks = MaskText(arg, pieces, defaultExt, paths.style);
  return target;
}

std::optional<ListLineArg> ListLineToArg(std::string_view line, PathStyle style) {
  std::string text(line);
  SlashesToBackslashes(style, text);
  text = TrimSpaces(text);
  std::string arg;
  if (text.size() > 2 && text.front() == '"' && text.back() == '"') {
    arg = text.substr(1, text.size() - 2);
  } else {
    // What follows the first space is a remark.
    arg = text.substr(0, text.find(' '));
  }
  if (arg.empty()) return std::nullopt;
  // An argument naming a file without an extension gets the mask of exactly that name;
  // a directory or a name with an extension gets every file.
  const std::size_t firstDot = arg.find('.');
  const bool namesBareFile = arg.back() != Separator(style) &&
                             (firstDot == std::string::npos || firstDot == arg.size() - 1);
  return ListLineArg{std::move(arg), namesBareFile ? "." : "*.*"};
}

}  // namespace zovu
