#include "tally/extension_tally.h"

namespace zovu {
namespace {

// Totals wrap instead of overflowing, which would be undefined; 64 bits are not
// reached by real sizes.
std::int64_t WrappingAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

}  // namespace

ExtensionTally::~ExtensionTally() {
  while (head_ != nullptr) ReleaseHead();
}

void ExtensionTally::AddToTally(std::string_view text, std::int64_t size) {
  const TallyKey key = MakeTallyKey(text);
  const std::uint64_t hash = KeyHash(key);
  if (!indexed_) RebuildIndex();
  TallyEntry* entry = index_.Find(key, hash);
  if (entry == nullptr) {
    InsertTallyEntry(key, hash, size);
  } else {
    entry->Count = WrappingAdd(entry->Count, totalSizes_ ? size : 1);
  }
}

void ExtensionTally::InsertTallyEntry(const TallyKey& key, std::uint64_t hash, std::int64_t size) {
  auto* entry = new TallyEntry;
  entry->Ext = key;
  entry->Count = totalSizes_ ? size : 1;
  entry->Hash = hash;
  TallyEntry* before = index_.Add(entry);
  if (before == nullptr) {
    entry->Next = head_;
    head_ = entry;
  } else {
    entry->Next = before->Next;
    before->Next = entry;
  }
}

void ExtensionTally::ReleaseHead() {
  if (head_ == nullptr) return;
  if (indexed_) {
    index_.Clear();
    indexed_ = false;
  }
  TallyEntry* next = head_->Next;
  delete head_;
  head_ = next;
}

void ExtensionTally::RebuildIndex() {
  for (TallyEntry* entry = head_; entry != nullptr; entry = entry->Next) index_.Add(entry);
  indexed_ = true;
}

}  // namespace zovu
