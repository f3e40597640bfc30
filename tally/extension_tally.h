#pragma once

#include <cstdint>
#include <string_view>

namespace zovu {

// Per-extension counters. Stand-in until the tally lands: it keeps nothing.
class ExtensionTally {
 public:
  explicit ExtensionTally(bool totalSizes) : totalSizes_(totalSizes) {}
  void AddToTally(std::string_view, std::int64_t) {}
  bool TotalSizes() const { return totalSizes_; }

 private:
  bool totalSizes_;
};

}  // namespace zovu
