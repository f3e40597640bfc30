#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/path_style.h"
#include "search/tree_walk.h"
#include "tally/extension_tally.h"
#include "tally/tally_callback.h"

namespace zovu {

// A tally and a match count of its own for each walking thread, so that threads share
// nothing per file; they are added up once the walk is over.
class ThreadTallies final : public CallbackSource {
 public:
  ThreadTallies(bool totalSizes, PathStyle style) : totalSizes_(totalSizes), style_(style) {}
  FileCallback& CallbackFor(std::size_t index) override;
  // Adds every thread's tally and count into tally and matchCount, emptying them.
  void MergeInto(ExtensionTally& tally, std::int64_t& matchCount);

 private:
  // Each on cache lines of its own, as each is written by another thread.
  struct alignas(64) Slot {
    Slot(bool totalSizes, PathStyle style)
        : tally(totalSizes), callback(tally, matchCount, style) {}
    ExtensionTally tally;
    std::int64_t matchCount = 0;
    TallyCallback callback;
  };

  bool totalSizes_;
  PathStyle style_;
  std::deque<Slot> slots_;
};

}  // namespace zovu
