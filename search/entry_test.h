#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zovu {

// Which entries a walk hands over: never ".", ".." or ".git" directories, volume labels or
// "_FOSSIL_" files; every other directory; files whose attributes are wanted and whose
// names the masks select.
class EntryTest {
 public:
  EntryTest(std::string_view masks, std::uint16_t attrMask);
  bool Rejected(std::string_view name, std::uint32_t attr) const;

 private:
  std::string masks_;
  bool everyName_;  // the masks select every name; no need to match each one
  std::uint16_t attrMask_;
};

}  // namespace zovu
