#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/keyboard.h"
#include "search/path_rules.h"
#include "search/search_arg.h"
#include "search/tree_walk.h"

namespace zovu {

struct SearchOutcome {
  std::int64_t entries = 0;   // accepted entries handed to the callbacks
  bool searchErrors = false;  // something went wrong; the search went on
  bool aborted = false;       // the watcher ended the search early
  // A start directory (not a list file) that could not be entered, and why.
  std::string startProblem;
  WalkFailures failures;  // what set searchErrors, where it can be named
};

// Runs one search: walks a start directory, or the search of every line of a list file.
// Outside a list file, a start directory that cannot be opened gives no entries and no
// error. The current directory is as before when it returns.
SearchOutcome SearchFiles(FileSystem& fileSystem, PathStyle style, const SearchTarget& target,
                          const WalkOptions& options, CallbackSource& callbacks,
                          WalkWatcher& watcher);

// Takes at most one key; true when it was ESC. An extended key is taken whole.
bool EscPressed(Keyboard& keyboard);

}  // namespace zovu
