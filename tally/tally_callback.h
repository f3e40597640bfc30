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
  TallyCallback(ExtensionTally& tally, EntryDetails details, PathStyle style)
      : tally_(tally), details_(details), style_(style) {}

  EntryDetails WantedDetails() const override { return details_; }
  bool Item(const FoundFile& file) override { return TallyFoundFile(file); }
  // Directories are passed over; a file goes into the tally under its extension. Always
  // true.
  bool TallyFoundFile(const FoundFile& file);

 private:
  std::string_view ExtensionOf(std::string_view name) const;

  ExtensionTally& tally_;
  EntryDetails details_;
  PathStyle style_;
};

}  // namespace zovu
