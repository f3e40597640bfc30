#pragma once

#include <cstdint>

#include "search/found_file.h"
#include "support/console.h"
#include "tally/extension_tally.h"

namespace zovu {

// The walker's callback for a run: turns the spinner for every entry and tallies files.
class TallyCallback final : public FileCallback {
 public:
  TallyCallback(Console& console, ExtensionTally& tally, std::int64_t& matchCount)
      : console_(console), tally_(tally), matchCount_(matchCount) {}

  EntryDetails WantedDetails() const override {
    return tally_.TotalSizes() ? EntryDetails::kSizesAndTimes : EntryDetails::kNamesOnly;
  }
  bool Item(const FoundFile& file) override { return TallyFoundFile(file); }
  bool TallyFoundFile(const FoundFile& file);

 private:
  Console& console_;
  ExtensionTally& tally_;
  std::int64_t& matchCount_;
};

}  // namespace zovu
