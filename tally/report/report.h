#pragma once

#include <string>
#include <string_view>

#include "tally/extension_tally.h"
#include "tally/tally_key.h"

namespace zovu {

// What a run was asked and how it went, as the reports tell it.
struct RunFacts {
  std::string version;
  std::string searchArgument;  // as given; empty: every file of the current directory
  bool subdirectories = false;
  bool totalSizes = false;  // -T: the table shows bytes rather than files
  KeyRule keyRule = KeyRule::kThreeCharacters;
  bool diskUsage = false;  // bytes on disk rather than apparent sizes
  bool aborted = false;    // ended early by ESC
  bool errors = false;     // errors were met; the search went on
};

// A run's report, whatever its format: the rows in the order they are written, and what
// all of them hold together.
struct Report {
  RunFacts run;
  TallyRows rows;
  TallyFigures totals;
};

// The report of rows (in key order), put in order and totalled.
Report MakeReport(RunFacts run, TallyRows rows, RowOrder order);

inline constexpr std::string_view kErrorsLine = "Errors during processing!";

}  // namespace zovu
