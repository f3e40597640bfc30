#pragma once

#include <cstddef>
#include <deque>

#include "platform/path_style.h"
#include "search/tree_walk.h"
#include "tally/extension_tally.h"
#include "tally/tally_callback.h"

namespace zovu {

// A tally of its own for each walking thread, so that threads share nothing per file;
// they are added up once the walk is over.
class ThreadTallies final : public CallbackSource {
 public:
  ThreadTallies(KeyRule rule, EntryDetails details, PathStyle style)
      : rule_(rule), details_(details), style_(style) {}
  FileCallback& CallbackFor(std::size_t index) override;
  // Every thread's figures added up, in key order.
  TallyRows SortedRows() const;

 private:
  // Each on cache lines of its own, as each is written by another thread.
  struct alignas(64) Slot {
    Slot(KeyRule rule, EntryDetails details, PathStyle style)
        : tally(rule), callback(tally, details, style) {}
    ExtensionTally tally;
    TallyCallback callback;
  };

  KeyRule rule_;
  EntryDetails details_;
  PathStyle style_;
  std::deque<Slot> slots_;
};

}  // namespace zovu
