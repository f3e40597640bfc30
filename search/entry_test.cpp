#include "search/entry_test.h"

#include "search/found_file.h"
#include "search/mask_match.h"
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

EntryTest::EntryTest(std::string_view masks, std::uint16_t attrMask)
    : masks_(masks), everyName_(MatchesEveryName(masks_)), attrMask_(attrMask) {}

bool EntryTest::Rejected(std::string_view name, std::uint32_t attr) const {
  const auto bits = static_cast<std::uint16_t>(attr);
  const bool directory = AttrMatches(bits, kAttrDirectory);
  if (directory && (name == "." || name == ".." || name == ".git")) return true;
  if (AttrMatches(bits, kAttrVolumeLabel)) return true;
  if (directory) return false;
  if (AttrMatches(bits, attrMask_) || attrMask_ == kAttrAnyFile) {
    if (IsFossilName(name)) return true;
    return !everyName_ && !MatchMaskList(name, masks_);
  }
  return true;
}

}  // namespace zovu
