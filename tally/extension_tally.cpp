#include "tally/extension_tally.h"

#include <algorithm>

namespace zovu {

ExtensionTally::~ExtensionTally() {
  while (head_ != nullptr) ReleaseHead();
}

void ExtensionTally::AddToTally(std::string_view text, std::int64_t size) {
  const TallyCount amount = totalSizes_ ? size : 1;
  // The first three bytes and their number (plus one, so that no prefix is 0).
  const std::size_t length = std::min(text.size(), kTallyKeyCharacters);
  auto prefix = static_cast<std::uint32_t>(length + 1) << 24;
  unsigned char high = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    high |= byte;
    prefix |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  Recent* recent = nullptr;
  if (high < 0x80) {
    recent = &recent_[(prefix * 0x9E3779B1u) >> 24];
    if (recent->prefix == prefix) {
      recent->entry->Count += amount;
      return;
    }
  }
  const TallyKey key = MakeTallyKey(text);
  TallyEntry* entry = Add(key, KeyHash(key), amount);
  if (recent != nullptr) *recent = {prefix, entry};
}

void ExtensionTally::Merge(ExtensionTally& other) {
  while (const TallyEntry* entry = other.Head()) {
    Add(entry->Ext, entry->Hash, entry->Count);
    other.ReleaseHead();
  }
}

TallyEntry* ExtensionTally::Add(const TallyKey& key, std::uint64_t hash, TallyCount amount) {
  if (!indexed_) RebuildIndex();
  TallyEntry* entry = index_.Find(key, hash);
  if (entry == nullptr) return InsertTallyEntry(key, hash, amount);
  entry->Count += amount;
  return entry;
}

TallyEntry* ExtensionTally::InsertTallyEntry(const TallyKey& key, std::uint64_t hash,
                                             TallyCount amount) {
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
  return entry;
}

void ExtensionTally::ReleaseHead() {
  if (head_ == nullptr) return;
  if (indexed_) {
    index_.Clear();
    indexed_ = false;
    recent_.fill({});
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
