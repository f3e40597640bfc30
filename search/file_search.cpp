#include "search/file_search.h"

#include <memory>

#include "search/list_file.h"

namespace zovu {
namespace {

// Walks the search of every line of a list file, all lines through one set of walking
// threads: a line's walk begins as it is read, while earlier lines' walks go on. As each
// line is read, the current directory of its drive is made current again after its start
// is opened, so a relative line after a line on another drive is taken on that drive;
// where there are no drives nothing changes. ESC while no line's walk is under way ends
// the list quietly; ESC while one is, is an error.
SearchOutcome SearchListFile(FileSystem& fileSystem, const PathContext& paths,
                             const std::string& listPath, const WalkOptions& options,
                             CallbackSource& callbacks, WalkWatcher& watcher) {
  SearchOutcome outcome;
  TreeWalks walks(fileSystem, options, callbacks, watcher);
  const auto interrupted = [&] {
    if (!options.interruptible) return false;
    const bool busy = walks.Busy();
    if (!watcher.Tick(walks.Entries())) return false;
    if (busy) outcome.searchErrors = true;
    outcome.aborted = true;
    walks.Stop();
    return true;
  };
  ListFileSearches lines(fileSystem, paths, listPath, interrupted);
  if (!lines.Opened()) {
    outcome.searchErrors = true;
    outcome.failures.Add(listPath + ": " + lines.Problem());
    return outcome;
  }
  while (const std::optional<SearchTarget> line = lines.Next()) {
    // List files do not nest: a line that names one is an error.
    const bool nestedList = line->kind == SearchTarget::Kind::kListFile;
    const std::unique_ptr<DirectoryMark> lineDrive =
        fileSystem.MarkDriveDirectory(std::string_view(line->startDir).substr(0, 2));
    WalkResult started;
    if (!nestedList) started = walks.Add(line->startDir, MaskList(line->masks));
    if (!started.opened || started.errors) {
      outcome.searchErrors = true;
      if (!started.startProblem.empty()) {
        outcome.failures.Add(line->startDir + ": " + started.startProblem);
      }
    }
    if (lineDrive == nullptr || !fileSystem.ReturnTo(*lineDrive)) outcome.searchErrors = true;
  }
  if (lines.ReadFailed()) {
    outcome.searchErrors = true;
    outcome.failures.Add(listPath + ": " + lines.Problem());
  }
  WalkResult walked = walks.Finish();
  outcome.entries = walked.entries;
  for (std::string& failure : walked.failures.first) outcome.failures.Add(std::move(failure));
  outcome.failures.count += walked.failures.count - walked.failures.first.size();
  if (walked.errors) outcome.searchErrors = true;
  if (walked.aborted) {
    outcome.searchErrors = true;
    outcome.aborted = true;
  }
  return outcome;
}

}  // namespace

SearchOutcome SearchFiles(FileSystem& fileSystem, PathStyle style, const SearchTarget& target,
                          const WalkOptions& options, CallbackSource& callbacks,
                          WalkWatcher& watcher) {
  if (target.kind == SearchTarget::Kind::kDirectory) {
    WalkResult walked =
        WalkTree(fileSystem, target.startDir, MaskList(target.masks), options, callbacks, watcher);
    return SearchOutcome{walked.entries, walked.errors, walked.aborted, walked.startProblem,
                         std::move(walked.failures)};
  }
  const PathContext paths{style, fileSystem};
  // Lines on other drives change the current drive; it is put back at the end.
  const std::unique_ptr<DirectoryMark> savedCurrent = fileSystem.MarkCurrentDirectory();
  SearchOutcome outcome =
      SearchListFile(fileSystem, paths, target.listPath, options, callbacks, watcher);
  if (savedCurrent == nullptr || !fileSystem.ReturnTo(*savedCurrent)) outcome.searchErrors = true;
  return outcome;
}

bool EscPressed(Keyboard& keyboard) {
  if (!keyboard.KeyWaiting()) return false;
  const int code = keyboard.ReadKey();
  if (code == 0) {
    keyboard.ReadKey();  // the second code of an extended key
    return false;
  }
  return code == kEscapeKey;
}

}  // namespace zovu
