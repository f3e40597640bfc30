#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tally/extension_tally.h"
#include "tally/tally_key.h"

namespace zovu {

// How the report is written: the boxed table, a ranked list for people, or data for
// scripts.
enum class ReportFormat { kBox, kList, kCsv, kJson };

// What the long options ask of a run, each read once where it stands.
struct RunOptions {
  ReportFormat format = ReportFormat::kBox;
  std::optional<RowOrder> sort;  // nothing: the format's own order
  KeyRule keyRule = KeyRule::kThreeCharacters;
  bool oneFileSystem = false;
  std::vector<std::string> excludes;  // mask lists, as given
  bool diskUsage = false;
  std::optional<std::size_t> threads;  // given: ZOVU_THREADS plays no part
};

}  // namespace zovu
