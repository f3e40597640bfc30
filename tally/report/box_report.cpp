#include <cstdint>

#include "tally/report/report_writers.h"
#include "tally/tally_table.h"

namespace zovu {

void WriteBoxReport(Console& console, const Report& report) {
  if (report.run.errors) console.WriteLine(kErrorsLine);
  PrintTallyTable(console, report.rows, report.run.totalSizes);
  console.WriteLine(SummaryLine(static_cast<std::int64_t>(report.totals.files)));
}

}  // namespace zovu
