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

// The parent directory, written as a directory so that its last component is not read
// as a mask.
std::string ParentDirectory(const PathContext& paths) {
  std::string parent = paths.ExpandPath(kParent);
  parent += Separator(paths.style);
  return parent;
}

// Removes a leading "@" and tells whether there was one.
bool TakeListMark(std::string& text) {
  if (text.empty() || text.front() != '@') return false;
  text.erase(0, 1);
  return true;
}

}  // namespace

std::string MakeMaskList(std::string_view arg, std::string_view defaultExt,
                         const PathContext& paths) {
  // The parent test sees the raw argument, before the cuts at ";" and ",". The parent
  // directory stands for every file in it; its path is not cut, because a "," or ";" in
  // a directory name would make masks of the path's pieces.
  if (arg == kParent) return "*" + std::string(EffectiveExt(defaultExt));
  std::string text(arg);
  std::string tail;
  if (const std::size_t semicolon = text.find(';'); semicolon != std::string::npos) {
    tail = text.substr(semicolon + 1);
    text.erase(semicolon);
  }
  std::string rest;
  if (const std::size_t comma = text.find(','); comma != std::string::npos) {
    rest = text.substr(comma);
    text.erase(comma);
  }
  SlashesToBackslashes(paths.style, text);
  const bool listFile = TakeListMark(text);
  SplitPathResult parts = SplitPath(paths.style, text);
  // A list file's name is taken as written.
  if (!listFile) {
    if (parts.name + parts.ext == ".") parts.ext = EffectiveExt(defaultExt);
    if (parts.ext.empty()) parts.ext = EffectiveExt(defaultExt);
    if (parts.name.empty()) parts.name = "*";
  }
  std::string masks = parts.name + parts.ext + rest;
  if (masks.empty()) {
    masks = "*";
    masks += EffectiveExt(defaultExt);
  }
  if (!tail.empty()) {
    masks += ';';
    masks += tail;
  }
  return masks;
}

std::string MakeStartPath(std::string_view arg, const PathContext& paths) {
  std::string text(arg.substr(0, arg.find(';')));
  text.erase(std::min(text.size(), text.find(',')));
  SlashesToBackslashes(paths.style, text);
  const bool listFile = TakeListMark(text);
  // Here the parent test comes after the cuts, so "..,*.c" searches the parent.
  if (text == kParent) text = ParentDirectory(paths);
  std::string dir = SplitPath(paths.style, text).dir;
  if (dir.empty()) dir = ".";
  dir = paths.ExpandPath(dir);
  if (listFile) dir.insert(0, 1, '@');
  AddTrailingBackslash(paths.style, dir);
  return dir;
}

SearchTarget MakeSearchTarget(std::string_view arg, const PathContext& paths) {
  SearchTarget target;
  target.masks = MakeMaskList(arg, ".*", paths);
  std::string start = MakeStartPath(arg, paths);
  target.listFile = TakeListMark(start);
  target.path = StripTrailingBackslashes(paths.style, paths.ExpandPath(start));
  if (target.listFile) {
    // The list file's name is the mask list, taken whole; joining a root directory with a
    // separator doubles it.
    target.path += Separator(paths.style);
    target.path += target.masks;
    target.path = CollapseDoubledSeparators(paths.style, paths.ExpandPath(target.path));
    target.masks.clear();
  }
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
