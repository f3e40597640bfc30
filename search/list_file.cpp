#include "search/list_file.h"

#include <utility>

namespace zovu {

ListFileSearches::ListFileSearches(TextFiles& files, const PathContext& paths,
                                   std::string_view path, std::function<bool()> interrupted)
    : paths_(paths), interrupted_(interrupted) {
  OpenedTextFile opened = files.OpenTextFile(path);
  reader_ = std::move(opened.reader);
  problem_ = std::move(opened.problem);
  if (reader_ != nullptr) reader_->InterruptWhen(std::move(interrupted));
}

std::optional<SearchTarget> ListFileSearches::Next() {
  if (reader_ == nullptr) return std::nullopt;
  while (!reader_->Interrupted() && !reader_->AtEnd() && !(interrupted_ && interrupted_())) {
    const std::string line = reader_->ReadLine();
    // A line cut short by a read error, or by an interruption, is not searched.
    if (reader_->ReadFailed() || reader_->Interrupted()) break;
    const std::optional<ListLineArg> arg = ListLineToArg(line, paths_.style);
    if (!arg) continue;
    return ParseSearchArg(arg->arg, arg->defaultExt, paths_);
  }
  return std::nullopt;
}

}  // namespace zovu
