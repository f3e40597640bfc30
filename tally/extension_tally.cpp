#include "tally/extension_tally.h"

namespace zovu {

ExtensionTally::~ExtensionTally() {
  while (head_ != nullptr) ReleaseHead();
}

void ExtensionTally::AddToTally(std::string_view text, std::int64_t size) {
  const TallyKey key = MakeTallyKey(text);
  Add(key, KeyHash(key), totalSizes_ ? size : 1);
}

void ExtensionTally::Merge(ExtensionTally& other) {
  while (const TallyEntry* entry = other.Head()) {
    Add(entry->Ext, entry->Hash, entry->Count);
    other.ReleaseHead();
  }
}

void ExtensionTally::Add(const TallyKey& key, std::uint64_t hash, TallyCount amount) {
  if (!indexed_) RebuildIndex();
  TallyEntry* entry = index_.Find(key, hash);
  if (entry == nullptr) {
    InsertTallyEntry(key, hash, amount);
  } else {
    entry->Count += amount;
  }
}

void ExtensionTally::InsertTallyEntry(const TallyKey& key, std::uint64_t hash, TallyCount amount) {
  auto* entry = new TallyEntry;
  entry->Ext = key;
  entry->Count = amount;
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
