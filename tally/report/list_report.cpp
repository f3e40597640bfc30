#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/terminal_text.h"
#include "tally/decimal_text.h"
#include "tally/report/report_writers.h"
#include "tally/report/short_size.h"
#include "tally/tally_table.h"

namespace zovu {
namespace {

__extension__ typedef unsigned __int128 Magnitude;

// One column short of 80, so that a full line does not wrap at the terminal's edge.
constexpr std::size_t kLineColumns = 79;
constexpr std::size_t kFewestBarColumns = 10;
constexpr std::string_view kGap = "  ";
constexpr std::size_t kShareColumns = 6;           // "100.0%"
constexpr std::string_view kTotalLabel = "Total";  // mixed case, so never a key

// part / whole in steps of 1 / scale, rounded half up; 0 for a whole of 0. Both are cut
// down alike until part * scale * 2 cannot wrap (scale is at most a few thousand).
Magnitude Scaled(TallyBytes part, TallyBytes whole, unsigned scale) {
  if (whole <= 0 || part <= 0) return 0;
  Magnitude p = static_cast<Magnitude>(part);
  Magnitude w = static_cast<Magnitude>(whole);
  while ((w >> 112) != 0) {
    p >>= 1;
    w >>= 1;
  }
  return (p * scale * 2 / w + 1) / 2;
}

// "12.3%": a share to a tenth of a percent.
std::string ShareText(TallyBytes part, TallyBytes whole) {
  const Magnitude tenths = Scaled(part, whole, 1000);
  return DecimalText(static_cast<TallyBytes>(tenths / 10)) + '.' +
         static_cast<char>('0' + static_cast<int>(tenths % 10)) + '%';
}

// A bar of part / whole over the given columns: in eighths of a column with the block
// characters U+2588 (whole) to U+258F (one eighth) where UTF-8 shows, else in whole "#".
std::string Bar(TallyBytes part, TallyBytes whole, std::size_t columns, bool utf8) {
  if (!utf8) return std::string(static_cast<std::size_t>(Scaled(part, whole, columns)), '#');
  const auto eighths = static_cast<std::size_t>(Scaled(part, whole, 8 * columns));
  std::string bar;
  for (std::size_t i = 0; i < eighths / 8; ++i) bar += "\u2588";
  if (const std::size_t rest = eighths % 8; rest != 0) {
    // U+2589 is seven eighths, U+258F one eighth: all three UTF-8 bytes but the last agree.
    bar += "\xE2\x96";
    bar += static_cast<char>(0x90 - rest);
  }
  return bar;
}

std::string RightAligned(std::string_view text, std::size_t columns) {
  std::string aligned;
  if (text.size() < columns) aligned.assign(columns - text.size(), ' ');
  aligned += text;
  return aligned;
}

// What one line of the list shows, before it is laid out.
struct ListLine {
  std::string key;
  std::string files;
  std::string fileShare;
  std::string bytes;
  std::string byteShare;
  std::string bar;
};

struct ListWidths {
  std::size_t key = kTotalLabel.size();
  std::size_t files = 5;  // "Files"
  std::size_t bytes = 5;  // "Bytes"
};

std::string LaidOut(const ListLine& line, const ListWidths& widths) {
  std::string text = PadToColumns(line.key, widths.key);
  text += kGap;
  text += RightAligned(line.files, widths.files);
  text += kGap;
  text += RightAligned(line.fileShare, kShareColumns);
  text += kGap;
  text += RightAligned(line.bytes, widths.bytes);
  text += kGap;
  text += RightAligned(line.byteShare, kShareColumns);
  if (!line.bar.empty()) {
    text += kGap;
    text += line.bar;
  }
  return text;
}

}  // namespace

void WriteListReport(Console& console, const Report& report) {
  if (report.run.errors) console.WriteLine(kErrorsLine);
  const TallyFigures& totals = report.totals;
  const bool terminal = console.ReportIsTerminal();
  std::vector<ListLine> lines;
  lines.reserve(report.rows.size());
  ListWidths widths;
  for (const TallyRow& row : report.rows) {
    const TallyFigures& figures = row.figures;
    ListLine line{
        terminal ? TerminalSafe(row.key) : row.key,
        DecimalText(static_cast<TallyBytes>(figures.files)),
        ShareText(static_cast<TallyBytes>(figures.files), static_cast<TallyBytes>(totals.files)),
        ShortBinarySize(figures.bytes),
        ShareText(figures.bytes, totals.bytes),
        {}};
    widths.key = std::max(widths.key, DisplayColumns(line.key));
    widths.bytes = std::max(widths.bytes, line.bytes.size());
    lines.push_back(std::move(line));
  }
  const ListLine total{
      std::string(kTotalLabel),
      DecimalText(static_cast<TallyBytes>(totals.files)),
      ShareText(static_cast<TallyBytes>(totals.files), static_cast<TallyBytes>(totals.files)),
      ShortBinarySize(totals.bytes),
      ShareText(totals.bytes, totals.bytes),
      {}};
  widths.files = std::max(widths.files, total.files.size());
  widths.bytes = std::max(widths.bytes, total.bytes.size());

  const std::size_t figureColumns =
      widths.key + widths.files + widths.bytes + 2 * kShareColumns + 5 * kGap.size();
  const std::size_t barColumns = figureColumns + kFewestBarColumns < kLineColumns
                                     ? kLineColumns - figureColumns
                                     : kFewestBarColumns;
  const bool utf8 = console.ReportIsUtf8Terminal();
  console.WriteLine(LaidOut({"Ext", "Files", "Files%", "Bytes", "Bytes%", {}}, widths));
  // Rows go out whole, a batch at a time.
  std::string batch;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ListLine& line = lines[i];
    line.bar = Bar(report.rows[i].figures.bytes, totals.bytes, barColumns, utf8);
    batch += LaidOut(line, widths);
    batch += console.LineEnd();
    if (batch.size() >= 16384) {
      console.Write(batch);
      batch.clear();
    }
  }
  console.Write(batch);
  console.WriteLine(std::string(figureColumns - kGap.size(), '-'));
  console.WriteLine(LaidOut(total, widths));
  console.WriteLine(SummaryLine(static_cast<std::int64_t>(totals.files)));
}

}  // namespace zovu
