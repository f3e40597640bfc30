#pragma once

#include <cstdint>
#include <string_view>

#include "search/mask_match.h"

namespace zovu {

// Which entries a walk hands over: never "." or "..", entries whose names the exclusions
// select, ".git" directories, volume labels or "_FOSSIL_" files; every other directory;
// files whose attributes are wanted and whose names the masks select.
class EntryTest {
 public:
  EntryTest(const MaskList& masks, const MaskList& exclusions, std::uint16_t attrMask)
      : masks_(masks),
        exclusions_(exclusions),
        everyName_(masks.SelectsEveryName()),
        excluding_(!exclusions.Empty()),
        attrMask_(attrMask) {}
  bool Rejected(std::string_view name, std::uint32_t attr) const;

 private:
  const MaskList& masks_;
  const MaskList& exclusions_;
  // Read once: asked for every entry.
  bool everyName_;
  bool excluding_;
  std::uint16_t attrMask_;
};

}  // namespace zovu
