#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "search/path_rules.h"
#include "search/search_arg.h"

namespace zovu {

// Reads a list file and yields the search of each line that names one, in order. Each
// line's argument is expanded against the current directory at the time it is read.
class ListFileSearches {
 public:
  // interrupted is asked before each line and between the pieces of a long line; once it
  // answers true, no more lines are read.
  ListFileSearches(TextFiles& files, const PathContext& paths, std::string_view path,
                   std::function<bool()> interrupted);
  // False when the list file cannot be read.
  bool Opened() const { return reader_ != nullptr; }
  // The next line's search; nothing at the end of the file, after a read error, or once
  // interrupted.
  std::optional<SearchTarget> Next();
  bool ReadFailed() const { return reader_ != nullptr && reader_->ReadFailed(); }
  // Why the list file could not be opened, or why reading it failed.
  std::string Problem() const { return reader_ != nullptr ? reader_->ReadProblem() : problem_; }

 private:
  const PathContext& paths_;
  std::unique_ptr<LineReader> reader_;
  std::string problem_;
  std::function<bool()> interrupted_;
};

}  // namespace zovu
