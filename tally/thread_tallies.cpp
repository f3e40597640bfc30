#include "tally/thread_tallies.h"

namespace zovu {

FileCallback& ThreadTallies::CallbackFor(std::size_t index) {
  while (slots_.size() <= index) slots_.emplace_back(totalSizes_, style_);
  return slots_[index].callback;
}

void ThreadTallies::MergeInto(ExtensionTally& tally, std::int64_t& matchCount) {
  for (Slot& slot : slots_) {
    tally.Merge(slot.tally);
    matchCount += slot.matchCount;
    slot.matchCount = 0;
  }
}

}  // namespace zovu
