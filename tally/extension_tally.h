#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tally/tally_index.h"
#include "tally/tally_key.h"

namespace zovu {

// Totals of byte sizes never wrap: a key may hold files of up to 2^63 - 1 bytes each, in
// any number. (GCC, Clang and mingw-w64 all have 128-bit integers.)
__extension__ typedef __int128 TallyCount;

// The counter of one extension key, a link of the sorted list.
struct TallyEntry {
  TallyKey Ext;
  TallyCount Count = 0;        // count mode: files with this key; size mode: their total size
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
  // Adds the counts of other, key by key, and empties it.
  void Merge(ExtensionTally& other);
  bool TotalSizes() const { return totalSizes_; }
  // The entry with the smallest key, or null when the tally is empty.
  const TallyEntry* Head() const { return head_; }
  // Unlinks and frees the entry with the smallest key.
  void ReleaseHead();

 private:
  // An extension seen lately, by the bytes of its first three characters as the name
  // has them, before folding; 0 marks a slot not in use.
  struct Recent {
    std::uint32_t prefix = 0;
    TallyEntry* entry = nullptr;
  };

  TallyEntry* Add(const TallyKey& key, std::uint64_t hash, TallyCount amount);
  TallyEntry* InsertTallyEntry(const TallyKey& key, std::uint64_t hash, TallyCount amount);
  void RebuildIndex();

  bool totalSizes_;
  // Files repeat a handful of extensions: one whose first three bytes are ASCII, and so
  // give its key by folding alone, is found here again without making its key.
  std::array<Recent, 256> recent_{};
  TallyEntry* head_ = nullptr;
  TallyIndex index_;
  bool indexed_ = true;  // false once releasing has begun and the index was dropped
};

}  // namespace zovu
