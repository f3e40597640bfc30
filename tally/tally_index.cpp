#include "tally/tally_index.h"

#include <utility>

#include "tally/extension_tally.h"

namespace zovu {
namespace {

constexpr std::size_t kFirstSlotCount = 16;

TallyEntry* RotateUp(TallyEntry* parent, bool fromLower) {
  if (fromLower) {
    TallyEntry* child = parent->Lower;
    parent->Lower = child->Higher;
    child->Higher = parent;
    return child;
  }
  TallyEntry* child = parent->Higher;
  parent->Higher = child->Lower;
  child->Lower = parent;
  return child;
}

// Inserts entry below root and returns the new root of that subtree. The hash serves
// as the random priority that keeps the tree balanced whatever the order of keys.
TallyEntry* TreeInsert(TallyEntry* root, TallyEntry* entry, TallyEntry*& below) {
  if (root == nullptr) return entry;
  if (KeyLess(root->Ext.View(), entry->Ext.View())) {
    below = root;
    root->Higher = TreeInsert(root->Higher, entry, below);
    return root->Higher->Hash > root->Hash ? RotateUp(root, false) : root;
  }
  root->Lower = TreeInsert(root->Lower, entry, below);
  return root->Lower->Hash > root->Hash ? RotateUp(root, true) : root;
}

}  // namespace

TallyEntry* TallyIndex::Find(const TallyKey& key, std::uint64_t hash) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    TallyEntry* entry = slots_[i];
    if (entry == nullptr) return nullptr;
    if (entry->Hash == hash && entry->Ext == key) return entry;
  }
}

TallyEntry* TallyIndex::Add(TallyEntry* entry) {
  // At most half full, so that a probe for a missing key ends soon.
  if (2 * (count_ + 1) > slots_.size()) Grow();
  Place(entry);
  ++count_;
  TallyEntry* below = nullptr;
  entry->Lower = nullptr;
  entry->Higher = nullptr;
  root_ = TreeInsert(root_, entry, below);
  return below;
}

void TallyIndex::Clear() {
  slots_ = {};
  count_ = 0;
  root_ = nullptr;
}

void TallyIndex::Grow() {
  std::vector<TallyEntry*> old = std::move(slots_);
  slots_.assign(old.empty() ? kFirstSlotCount : 2 * old.size(), nullptr);
  for (TallyEntry* entry : old) {
    if (entry != nullptr) Place(entry);
  }
}

void TallyIndex::Place(TallyEntry* entry) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = entry->Hash & mask;
  while (slots_[i] != nullptr) i = (i + 1) & mask;
  slots_[i] = entry;
}

}  // namespace zovu
