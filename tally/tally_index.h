#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tally/tally_key.h"

namespace zovu {

struct TallyEntry;

// Finds the entry of a key in constant time, and the sorted place of a new key in
// logarithmic time, so that neither a file nor a new key walks the whole list. It
// links entries through their own fields and allocates nothing per entry.
class TallyIndex {
 public:
  TallyEntry* Find(const TallyKey& key, std::uint64_t hash) const;
  // Takes in an entry whose key is new and whose Hash is set. Returns the entry with
  // the largest key below it, or null when its key is the smallest.
  TallyEntry* Add(TallyEntry* entry);
  void Clear();

 private:
  void Grow();
  void Place(TallyEntry* entry);

  std::vector<TallyEntry*> slots_;  // open addressing; the size is a power of two
  std::size_t count_ = 0;
  TallyEntry* root_ = nullptr;  // a search tree ordered by key, heap-ordered by hash
};

}  // namespace zovu
