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

namespace zovu::testing {

// A console writing into strings, a tally and the callback that feeds it, as a run
// sets them up.
struct TallyRig {
  explicit TallyRig(bool totalSizes, PathStyle style = PathStyle::kPosix,
                    std::string_view lineEnd = "\n", bool reportIsTerminal = false)
      : console(ConsoleStreams{&report, &terminal, &errors, 80, lineEnd, reportIsTerminal}),
        tally(totalSizes),
        callback(tally, matchCount, style) {}

  // Hands one entry to the callback the way the walker does.
  bool Found(std::string_view name, std::int64_t size = 0, std::uint32_t attr = kAttrArchive) {
    return callback.Item(FoundFile{name, size, attr, 0});
  }
  void FoundAll(const std::vector<std::string>& names) {
    for (const std::string& name : names) Found(name);
  }

  StringStream report;
  StringStream terminal;
  StringStream errors;
  Console console;
  std::int64_t matchCount = 0;
  ExtensionTally tally;
  TallyCallback callback;
};

using Entries = std::vector<std::pair<std::string, std::int64_t>>;

// The tally in list order, left as it is.
inline Entries EntriesOf(const ExtensionTally& tally) {
  Entries entries;
  for (const TallyEntry* e = tally.Head(); e != nullptr; e = e->Next) {
    entries.emplace_back(std::string(e->Ext.View()), static_cast<std::int64_t>(e->Count));
  }
  return entries;
}

}  // namespace zovu::testing
