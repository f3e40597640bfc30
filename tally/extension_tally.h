#pragma once

#include <cstdint>
#include <string_view>

#include "tally/tally_index.h"
#include "tally/tally_key.h"

namespace zovu {

// The counter of one extension key, a link of the sorted list.
struct TallyEntry {
  TallyKey Ext;
  std::int64_t Count = 0;      // count mode: files with this key; size mode: their total size
  TallyEntry* Next = nullptr;  // the entry with the next larger key
  // Links of the index, kept in the entry so that each key costs one allocation.
  std::uint64_t Hash = 0;
  TallyEntry* Lower = nullptr;
  TallyEntry* Higher = nullptr;
};

// Per-extension counters: a singly linked list, one entry per distinct key, always in
// ascending key order, owned here until the report releases the entries.
class ExtensionTally {
 public:
  explicit ExtensionTally(bool totalSizes) : totalSizes_(totalSizes) {}
  ~ExtensionTally();
  ExtensionTally(const ExtensionTally&) = delete;
  ExtensionTally& operator=(const ExtensionTally&) = delete;

  // Adds one file whose extension (without the dot) is text: one more file, or its size.
  void AddToTally(std::string_view text, std::int64_t size);
  bool TotalSizes() const { return totalSizes_; }
  // The entry with the smallest key, or null when the tally is empty.
  const TallyEntry* Head() const { return head_; }
  // Unlinks and frees the entry with the smallest key.
  void ReleaseHead();

 private:
  void InsertTallyEntry(const TallyKey& key, std::uint64_t hash, std::int64_t size);
  void RebuildIndex();

  bool totalSizes_;
  TallyEntry* head_ = nullptr;
  TallyIndex index_;
  bool indexed_ = true;  // false once releasing has begun and the index was dropped
};

}  // namespace zovu
