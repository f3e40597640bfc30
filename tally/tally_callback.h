#pragma once

#include <cstdint>
#include <string_view>

#include "platform/path_style.h"
#include "search/found_file.h"
#include "tally/extension_tally.h"

namespace zovu {

// The walker's callback for one walking thread: tallies the files it is handed.
class TallyCallback final : public FileCallback {
 public:
  TallyCallback(ExtensionTally& tally, std::int64_t& matchCount, PathStyle style)
      : tally_(tally), matchCount_(matchCount), style_(style) {}

  EntryDetails WantedDetails() const override {
    return tally_.TotalSizes() ? EntryDetails::kSizes : EntryDetails::kNamesOnly;
  }
  bool Item(const FoundFile& file) override { return TallyFoundFile(file); }
  // Directories are passed over; a file counts as a match and goes into the tally under
  // its extension. Always true.
  bool TallyFoundFile(const FoundFile& file);

 private:
  std::string_view ExtensionOf(std::string_view name) const;

  ExtensionTally& tally_;
  std::int64_t& matchCount_;
  PathStyle style_;
};

}  // namespace zovu
