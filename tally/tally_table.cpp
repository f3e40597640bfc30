#include "tally/tally_table.h"

#include <cstddef>

#include "support/terminal_text.h"
#include "support/utf8.h"
#include "tally/decimal_text.h"
#include "tally/tally_key.h"

namespace zovu {
namespace {

constexpr std::string_view kBorder =
    "+=======================================================================+";

struct TableLayout {
  std::string_view heading;
  std::string_view separator;
  std::string_view fillerCell;
  std::size_t cellsPerRow;
  std::size_t numberWidth;  // at least; a wider number pushes the rest of its row
};

constexpr TableLayout kCountLayout{
    "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |",
    "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+", "|     .     ", 6,
    5};

constexpr TableLayout kSizeLayout{
    "| Ext . Total Byte Size | Ext . Total Byte Size | Ext . Total Byte Size |",
    "+-----+-----------------+-----+-----------------+-----+-----------------+",
    "|     .                 ", 3, 17};

void AppendCell(std::string& row, std::string_view key, TallyBytes figure, std::size_t numberWidth,
                bool terminal) {
  DecimalBuffer buffer;
  const std::string_view digits = DecimalDigits(figure, buffer);
  const std::size_t length = digits.size();
  row += "| ";
  // A key from a hostile name must not take over the terminal the table is shown on. A
  // whole extension (--ext=full) wider than the cell widens its row.
  row += PadToColumns(terminal ? TerminalSafe(key) : key, kTallyKeyCharacters);
  row += " .";
  if (length < numberWidth) row.append(numberWidth - length, ' ');
  row.append(digits);
}

}  // namespace

void PrintTallyTable(Console& console, const TallyRows& rows, bool totalSizes) {
  const TableLayout& layout = totalSizes ? kSizeLayout : kCountLayout;
  console.WriteLine(kBorder);
  console.WriteLine(layout.heading);
  console.WriteLine(layout.separator);
  // Rows go out whole: one write per row rather than one per cell.
  std::string row;
  std::uint64_t cells = 0;
  const auto endCell = [&] {
    if (++cells % layout.cellsPerRow != 0) return;
    row += '|';
    console.WriteLine(row);
    row.clear();
  };
  for (const TallyRow& tallyRow : rows) {
    const TallyFigures& figures = tallyRow.figures;
    AppendCell(row, tallyRow.key, totalSizes ? figures.bytes : TallyBytes(figures.files),
               layout.numberWidth, console.ReportIsTerminal());
    endCell();
  }
  while (cells % layout.cellsPerRow != 0) {
    row += layout.fillerCell;
    endCell();
  }
  console.WriteLine(kBorder);
}

std::string PadRight(std::string_view s, int w, char f) {
  if (w <= 0) return {};
  const auto width = static_cast<std::size_t>(w);
  const bool utf8 = IsValidUtf8(s, Surrogates::kMalformed);
  const std::size_t characters = utf8 ? Utf8Characters(s, Surrogates::kMalformed) : s.size();
  if (characters > width) {
    s = s.substr(0, utf8 ? Utf8PrefixBytes(s, width, Surrogates::kMalformed) : width);
  }
  std::string padded(s);
  const std::size_t columns = DisplayColumns(s);
  if (columns < width) padded += RepeatChar(f, static_cast<int>(width - columns));
  return padded;
}

std::string PadToColumns(std::string_view s, std::size_t columns) {
  std::string padded(s);
  const std::size_t taken = DisplayColumns(s);
  if (taken < columns) padded.append(columns - taken, ' ');
  return padded;
}

std::string RepeatChar(char c, int n) {
  return n <= 0 ? std::string() : std::string(static_cast<std::size_t>(n), c);
}

std::string_view SingularOrPlural(std::int64_t n, std::string_view singular,
                                  std::string_view plural) {
  return n == 1 || n == -1 ? singular : plural;
}

std::string SummaryLine(std::int64_t matchCount) {
  std::string line = std::to_string(matchCount);
  line += " match";
  line += SingularOrPlural(matchCount, "", "es");
  line += " found!";
  return line;
}

}  // namespace zovu
