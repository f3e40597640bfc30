#include "tally/thread_tallies.h"

namespace zovu {

FileCallback& ThreadTallies::CallbackFor(std::size_t index) {
  while (slots_.size() <= index) slots_.emplace_back(rule_, details_, style_);
  return slots_[index].callback;
}

TallyRows ThreadTallies::SortedRows() const {
  ExtensionTally total(rule_);
  for (const Slot& slot : slots_) total.Merge(slot.tally);
  return total.SortedRows();
}

}  // namespace zovu
