#include "search/file_search.h"

#include <memory>

#include "search/list_file.h"

namespace zovu {
namespace {

// Adds the entries of the list file's earlier lines to what a line's walk reports, so
// that the watcher sees the whole search.
class RunningTotalWatcher final : public WalkWatcher {
 public:
  explicit RunningTotalWatcher(WalkWatcher& watcher) : watcher_(watcher) {}
  bool Tick(std::uint64_t entries) override { return watcher_.Tick(before + entries); }
  std::uint64_t before = 0;

 private:
  WalkWatcher& watcher_;
};

// Walks the search of every line of a list file. After each line the current directory
// of the line's drive is made current again, so a relative line after a line on another
// drive is taken on that drive; where there are no drives nothing changes. ESC between
// two lines ends the list quietly, ESC during a line's walk is an error.
SearchOutcome SearchListFile(FileSystem& fileSystem, const PathContext& paths,
                             const std::string& listPath, const WalkOptions& options,
                             CallbackSource& callbacks, WalkWatcher& watcher) {
  SearchOutcome outcome;
  RunningTotalWatcher total(watcher);
  const auto interrupted = [&] {
    if (!options.interruptible || !total.Tick(0)) return false;
    outcome.aborted = true;
    return true;
  };
  ListFileSearches lines(fileSystem, paths, listPath, interrupted);
  if (!lines.Opened()) {
    outcome.searchErrors = true;
    return outcome;
  }
  while (const std::optional<SearchTarget> line = lines.Next()) {
    // List files do not nest: a line that names one is an error.
    const bool nestedList = line->kind == SearchTarget::Kind::kListFile;
    const std::unique_ptr<DirectoryMark> lineDrive =
        fileSystem.MarkDriveDirectory(std::string_view(line->startDir).substr(0, 2));
    WalkResult walked;
    if (!nestedList) {
      walked =
          WalkTree(fileSystem, line->startDir, MaskList(line->masks), options, callbacks, total);
    }
    outcome.entries += walked.entries;
    total.before += static_cast<std::uint64_t>(walked.entries);
    if (!walked.opened || walked.aborted || walked.errors) outcome.searchErrors = true;
    if (lineDrive == nullptr || !fileSystem.ReturnTo(*lineDrive)) outcome.searchErrors = true;
    if (walked.aborted) {
      outcome.aborted = true;
      break;
    }
  }
  if (lines.ReadFailed()) outcome.searchErrors = true;
  return outcome;
}

}  // namespace

SearchOutcome SearchFiles(FileSystem& fileSystem, PathStyle style, const SearchTarget& target,
                          const WalkOptions& options, CallbackSource& callbacks,
                          WalkWatcher& watcher) {
  if (target.kind == SearchTarget::Kind::kDirectory) {
    const WalkResult walked =
        WalkTree(fileSystem, target.startDir, MaskList(target.masks), options, callbacks, watcher);
    return SearchOutcome{walked.entries, walked.errors, walked.aborted, walked.startProblem};
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
