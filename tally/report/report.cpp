#include "tally/report/report.h"

#include <utility>

namespace zovu {

Report MakeReport(RunFacts run, TallyRows rows, RowOrder order) {
  if (order != RowOrder::kExtension) SortRows(rows, order);
  TallyFigures totals;
  for (const TallyRow& row : rows) {
    totals.files += row.figures.files;
    totals.bytes += row.figures.bytes;
  }
  return Report{std::move(run), std::move(rows), totals};
}

}  // namespace zovu
