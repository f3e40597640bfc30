#include "search/entry_test.h"

#include "search/found_file.h"
#include "support/ascii.h"

namespace zovu {
namespace {

bool IsFossilName(std::string_view name) {
  constexpr std::string_view kFossil = "_FOSSIL_";
  if (name.size() != kFossil.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (AsciiUpper(name[i]) != kFossil[i]) return false;
  }
  return true;
}

}  // namespace

bool EntryTest::Rejected(std::string_view name, std::uint32_t attr) const {
  const auto bits = static_cast<std::uint16_t>(attr);
  // "." and ".." by their names alone: where a mount's ".." carries link attributes, it
  // no longer has the directory bit by the time it is tested.
  if (!name.empty() && name[0] == '.' &&
      (name.size() == 1 || (name.size() == 2 && name[1] == '.'))) {
    return true;
  }
  if (excluding_ && exclusions_.Matches(name)) return true;
  const bool directory = AttrMatches(bits, kAttrDirectory);
  if (directory && name == ".git") return true;
  if (AttrMatches(bits, kAttrVolumeLabel)) return true;
  if (directory) return false;
  if (AttrMatches(bits, attrMask_) || attrMask_ == kAttrAnyFile) {
    if (IsFossilName(name)) return true;
    return !everyName_ && !masks_.Matches(name);
  }
  return true;
}

}  // namespace zovu
