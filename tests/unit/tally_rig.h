#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/string_stream.h"
#include "support/console.h"
#include "tally/extension_tally.h"
#include "tally/tally_callback.h"
#include "tally/tally_table.h"

namespace zovu::testing {

// A console writing into strings, a tally and the callback that feeds it, as a run
// sets them up.
struct TallyRig {
  explicit TallyRig(bool totalSizes, PathStyle style = PathStyle::kPosix,
                    std::string_view lineEnd = "\n", bool reportIsTerminal = false,
                    KeyRule keyRule = KeyRule::kThreeCharacters)
      : console(ConsoleStreams{&report, &terminal, &errors, 80, lineEnd, reportIsTerminal}),
        totalSizes(totalSizes),
        tally(keyRule),
        callback(tally, totalSizes ? EntryDetails::kSizes : EntryDetails::kNamesOnly, style) {}

  // Hands one entry to the callback the way the walker does.
  bool Found(std::string_view name, std::int64_t size = 0, std::uint32_t attr = kAttrArchive) {
    return callback.Item(FoundFile{name, size, attr, 0});
  }
  void FoundAll(const std::vector<std::string>& names) {
    for (const std::string& name : names) Found(name);
  }
  TallyRows Rows() const { return tally.SortedRows(); }
  std::int64_t MatchCount() const { return static_cast<std::int64_t>(TotalFiles(Rows())); }
  // Prints the table as a run does.
  void PrintTable() { PrintTallyTable(console, Rows(), totalSizes); }

  StringStream report;
  StringStream terminal;
  StringStream errors;
  Console console;
  bool totalSizes;
  ExtensionTally tally;
  TallyCallback callback;
};

using Entries = std::vector<std::pair<std::string, std::int64_t>>;

// The tally in key order: each key with its files, or their total size.
inline Entries EntriesOf(const ExtensionTally& tally, bool totalSizes) {
  Entries entries;
  for (const TallyRow& row : tally.SortedRows()) {
    const TallyFigures& f = row.figures;
    entries.emplace_back(row.key, static_cast<std::int64_t>(totalSizes ? f.bytes : f.files));
  }
  return entries;
}
inline Entries EntriesOf(const TallyRig& rig) {
  return EntriesOf(rig.tally, rig.totalSizes);
}

}  // namespace zovu::testing
