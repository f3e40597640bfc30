#include <string>
#include <string_view>

#include "support/terminal_text.h"
#include "tally/decimal_text.h"
#include "tally/report/report_writers.h"

namespace zovu {
namespace {

// Rows end in CR LF as RFC 4180 has them, on every system: the same bytes everywhere.
constexpr std::string_view kCsvLineEnd = "\r\n";

// A cell that a spreadsheet would run as a formula begins with one of these; a cell that
// begins with the apostrophe, the guard itself, is guarded too, so that a leading
// apostrophe always is the guard and the key is never in doubt.
bool NeedsGuard(std::string_view cell) {
  return !cell.empty() &&
         std::string_view("=+-@\t\r'").find(cell.front()) != std::string_view::npos;
}

// The cell as RFC 4180 writes it: in quotes, with quotes doubled, when it holds a comma, a
// quote, CR or LF, or when it is guarded (an apostrophe in front, inside the quotes).
void AppendCell(std::string& row, std::string_view cell) {
  const bool guard = NeedsGuard(cell);
  if (!guard && cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    row += cell;
    return;
  }
  row += '"';
  if (guard) row += '\'';
  for (const char c : cell) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

}  // namespace

void WriteCsvReport(Console& console, const Report& report) {
  if (report.run.errors) console.WriteNoteLine(kErrorsLine);
  const bool terminal = console.ReportIsTerminal();
  std::string batch = "extension,files,bytes";
  batch += kCsvLineEnd;
  for (const TallyRow& row : report.rows) {
    // On a terminal keys are shown as the table shows them; elsewhere byte for byte.
    AppendCell(batch, terminal ? TerminalSafe(row.key) : row.key);
    batch += ',';
    batch += DecimalText(static_cast<TallyBytes>(row.figures.files));
    batch += ',';
    batch += DecimalText(row.figures.bytes);
    batch += kCsvLineEnd;
    if (batch.size() >= 16384) {
      console.Write(batch);
      batch.clear();
    }
  }
  console.Write(batch);
}

}  // namespace zovu
