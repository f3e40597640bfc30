#include "search/file_search.h"
#include "search/search_arg.h"

namespace zovu {

// Walks the search argument of every line of a list file. Each line's directory is
// entered from the drive directory that was current before the line, and that
// directory is made current again afterwards, so relative lines never depend on the
// lines before them.
void FileSearch::ProcessListFile(std::string path) {
  // Joining a root start directory with a separator doubles it.
  path = CollapseDoubledSeparators(paths_.style, path);
  const std::unique_ptr<LineReader> reader = fileSystem_.OpenTextFile(path);
  if (reader == nullptr) {
    searchErrors_ = true;
    return;
  }
  while (!reader->AtEnd()) {
    if (interruptible_ && PollEscape(true)) {
      aborted_ = true;
      break;
    }
    const std::string line = reader->ReadLine();
    // A line cut short by a read error is not searched.
    if (reader->ReadFailed()) break;
    const std::optional<ListLineArg> arg = ListLineToArg(line, paths_.style);
    if (!arg) continue;
    SetMasks(MakeMaskList(arg->arg, arg->defaultExt, paths_));
    const std::string startDir =
        StripTrailingBackslashes(paths_.style, MakeStartPath(arg->arg, paths_));
    ProcessListLine(startDir);
    if (aborted_) break;
  }
  if (reader->ReadFailed()) searchErrors_ = true;
}

void FileSearch::ProcessListLine(std::string_view startDir) {
  savedLineDriveDir_ = fileSystem_.MarkDriveDirectory(startDir.substr(0, 2));
  // List files do not nest: a start directory that still carries the list mark names
  // no directory.
  const bool nestedList = !startDir.empty() && startDir.front() == '@';
  if (nestedList || !WalkDirectory(startDir)) searchErrors_ = true;
  if (savedLineDriveDir_ == nullptr || !fileSystem_.ReturnTo(*savedLineDriveDir_)) {
    searchErrors_ = true;
  }
  savedLineDriveDir_.reset();
}

}  // namespace zovu
