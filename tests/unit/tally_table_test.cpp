#include "tally/tally_table.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/utf8.h"
#include "unit/tally_rig.h"

namespace zovu::testing {
namespace {

constexpr std::string_view kBorder =
    "+=======================================================================+\n";
constexpr std::string_view kCountTop =
    "+=======================================================================+\n"
    "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
    "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n";
constexpr std::string_view kSizeTop =
    "+=======================================================================+\n"
    "| Ext . Total Byte Size | Ext . Total Byte Size | Ext . Total Byte Size |\n"
    "+-----+-----------------+-----+-----------------+-----+-----------------+\n";

// Prints the rig's table followed by the summary line, as a run ends.
std::string Report(TallyRig& rig) {
  rig.PrintTable();
  rig.console.WriteLine(SummaryLine(rig.MatchCount()));
  return rig.report.text();
}

// Adds files so that each key ends up with its value: a count or a size total.
void Fill(TallyRig& rig, const std::vector<std::pair<std::string, std::int64_t>>& values) {
  for (const auto& [key, n] : values) {
    if (rig.totalSizes) {
      rig.tally.AddToTally(key, n);
    } else {
      for (std::int64_t i = 0; i < n; ++i) rig.tally.AddToTally(key, 0);
    }
  }
}

TEST(PrintTallyTable, CountSample) {
  TallyRig rig(false);
  rig.FoundAll({"README", "notes."});
  for (int i = 0; i < 14; ++i) rig.Found("module" + std::to_string(i) + (i % 2 ? ".c" : ".C"));
  rig.FoundAll({"a.txt", "b.TXT", "c.txts"});
  EXPECT_EQ(Report(rig),
            "+=======================================================================+\n"
            "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\n"
            "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\n"
            "|     .    2| C   .   14| TXT .    3|     .     |     .     |     .     |\n"
            "+=======================================================================+\n"
            "19 matches found!\n");
}

TEST(PrintTallyTable, SizeSample) {
  TallyRig rig(true);
  rig.Found("Makefile", 1024);
  rig.Found("run.bat", 300);
  rig.Found("go.BAT", 10);
  rig.Found("a.c", 8000);
  rig.Found("b.c", 192);
  rig.Found("notes.txt", 4096);
  rig.Found("src", 4096, kAttrDirectory);
  rig.PrintTable();
  EXPECT_EQ(rig.report.text(),
            "+=======================================================================+\n"
            "| Ext . Total Byte Size | Ext . Total Byte Size | Ext . Total Byte Size |\n"
            "+-----+-----------------+-----+-----------------+-----+-----------------+\n"
            "|     .             1024| BAT .              310| C   .             8192|\n"
            "| TXT .             4096|     .                 |     .                 |\n"
            "+=======================================================================+\n");
  EXPECT_EQ(rig.MatchCount(), 6);
}

TEST(PrintTallyTable, EmptyTallyIsFourLines) {
  for (const bool sizes : {false, true}) {
    TallyRig rig(sizes);
    EXPECT_EQ(Report(rig), std::string(sizes ? kSizeTop : kCountTop) + std::string(kBorder) +
                               "0 matches found!\n");
  }
}

TEST(PrintTallyTable, UsesTheConsoleLineEnd) {
  TallyRig rig(false, PathStyle::kWindows, "\r\n");
  rig.Found("a.b");
  EXPECT_EQ(Report(rig),
            "+=======================================================================+\r\n"
            "| Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num | Ext . Num |\r\n"
            "+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+-----+\r\n"
            "| B   .    1|     .     |     .     |     .     |     .     |     .     |\r\n"
            "+=======================================================================+\r\n"
            "1 match found!\r\n");
}

TEST(PrintTallyTable, RowBreaking) {
  struct Case {
    bool sizes;
    std::vector<std::pair<std::string, std::int64_t>> values;
    std::string rows;
    KeyRule rule = KeyRule::kThreeCharacters;
  };
  const Case cases[] = {
      {false,
       {{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}, {"E", 5}, {"F", 6}},
       "| A   .    1| B   .    2| C   .    3| D   .    4| E   .    5| F   .    6|\n"},
      {false,
       {{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}, {"E", 5}, {"F", 6}, {"G", 7}},
       "| A   .    1| B   .    2| C   .    3| D   .    4| E   .    5| F   .    6|\n"
       "| G   .    7|     .     |     .     |     .     |     .     |     .     |\n"},
      {false,
       {{"A", 1}, {"B", 100000}, {"C", 3}, {"D", 4}, {"E", 5}, {"F", 6}, {"G", 7}},
       "| A   .    1| B   .100000| C   .    3| D   .    4| E   .    5| F   .    6|\n"
       "| G   .    7|     .     |     .     |     .     |     .     |     .     |\n"},
      {true,
       {{"A", 1}, {"B", 22}, {"C", 333}},
       "| A   .                1| B   .               22| C   .              333|\n"},
      {true,
       {{"A", 1}, {"B", 22}, {"C", 333}, {"D", 4444}},
       "| A   .                1| B   .               22| C   .              333|\n"
       "| D   .             4444|     .                 |     .                 |\n"},
      // A total too wide for its field is written in full.
      {true,
       {{"A", 123456789012345678}, {"B", 0}},
       "| A   .123456789012345678| B   .                0|     .                 |\n"},
      // A whole extension (--ext=full) longer than the cell widens its row.
      {false,
       {{"c", 2}, {"html", 1}},
       "| C   .    2| HTML .    1|     .     |     .     |     .     |     .     |\n",
       KeyRule::kWholeExtension},
  };
  for (const Case& c : cases) {
    TallyRig rig(c.sizes, PathStyle::kPosix, "\n", false, c.rule);
    Fill(rig, c.values);
    rig.PrintTable();
    EXPECT_EQ(rig.report.text(),
              std::string(c.sizes ? kSizeTop : kCountTop) + c.rows + std::string(kBorder))
        << c.values.size() << " entries";
  }
}

TEST(PrintTallyTable, Utf8KeysKeepTheColumnsAligned) {
  TallyRig rig(true);
  rig.Found("документ.док", 10);
  rig.Found("café.é", 20);
  rig.Found("a.日本語テキスト", 30);
  rig.Found("z.zip", 40);
  rig.PrintTable();
  const std::string& text = rig.report.text();
  EXPECT_EQ(text,
            std::string(kSizeTop) +
                "| ZIP .               40| é   .               20| док .               10|\n"
                "| 日本語 .               30|     .                 |     .                 |\n" +
                std::string(kBorder));
  // Every line is 73 characters wide.
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    EXPECT_EQ(Utf8Characters(text.substr(start, end - start), Surrogates::kMalformed), 73u)
        << text.substr(start, end);
    start = end + 1;
  }
}

TEST(PrintTallyTable, InvalidUtf8KeysArePaddedByBytes) {
  TallyRig rig(false);
  rig.FoundAll({"a.\xFF", "b.\xE9t\xE9\xE9"});
  rig.PrintTable();
  EXPECT_EQ(
      rig.report.text(),
      std::string(kCountTop) +
          "| \xE9T\xE9 .    1| \xFF   .    1|     .     |     .     |     .     |     .     |\n" +
          std::string(kBorder));
}

// Keys are padded by the columns they take on a terminal. There they are shown
// terminal-safe; into a file or pipe their bytes stay as they are, padded alike.
TEST(PrintTallyTable, KeysArePaddedByDisplayColumns) {
  const struct {
    std::string_view name;
    std::string_view terminalCell;
    std::string_view fileCell;
  } cases[] = {
      // A wide character takes 2 columns; keys wider than their cell widen the row.
      {"a.日", "| 日  .    1", "| 日  .    1"},
      {"a.日本語", "| 日本語 .    1", "| 日本語 .    1"},
      {"a.ｚｉｐ", "| ｚｉｐ .    1", "| ｚｉｐ .    1"},  // fullwidth
      // A combining mark takes none.
      {"a.e\u0301", "| E\u0301   .    1", "| E\u0301   .    1"},
      // A direction override, a zero-width space, a control character: "?" on a terminal.
      {"a.\u202Etxt", "| ?TX .    1", "| \u202ETX .    1"},
      {"a.\u200Bx", "| ?X  .    1", "| \u200BX  .    1"},
      {"a.\x1B", "| ?   .    1", "| \x1B   .    1"},
      // A byte that is no part of a UTF-8 character: U+FFFD on a terminal.
      {"a.\xE9t\xE9", "| \uFFFDT\uFFFD .    1", "| \xE9T\xE9 .    1"},
      {"a.\xC3\xA9\xFF", "| é\uFFFD  .    1", "| é\xFF  .    1"},
  };
  std::string fillers;
  for (int i = 0; i < 5; ++i) fillers += "|     .     ";
  for (const auto& c : cases) {
    for (const bool terminal : {true, false}) {
      TallyRig rig(false, PathStyle::kPosix, "\n", terminal);
      rig.Found(c.name);
      rig.PrintTable();
      const std::string cell(terminal ? c.terminalCell : c.fileCell);
      EXPECT_EQ(rig.report.text(),
                std::string(kCountTop) + cell + fillers + "|\n" + std::string(kBorder))
          << ::testing::PrintToString(std::string(c.name)) << (terminal ? " on a terminal" : "");
    }
  }
}

TEST(SummaryLine, SingularOnlyForOne) {
  const std::pair<std::int64_t, std::string_view> cases[] = {
      {0, "0 matches found!"}, {1, "1 match found!"},     {-1, "-1 match found!"},
      {2, "2 matches found!"}, {19, "19 matches found!"}, {5000000000, "5000000000 matches found!"},
  };
  for (const auto& [n, line] : cases) EXPECT_EQ(SummaryLine(n), line);
}

TEST(PadRight, PadsAndCutsByCharacters) {
  const std::tuple<std::string_view, int, std::string_view> cases[] = {
      {"AB", 3, "AB "},   {"ABCD", 3, "ABC"},    {"", 3, "   "},
      {"ABC", 0, ""},     {"ABC", -2, ""},       {"д", 3, "д  "},
      {"дока", 3, "док"}, {"\xFF", 3, "\xFF  "}, {"\xFF\xFE\xFD\xFC", 3, "\xFF\xFE\xFD"},
  };
  for (const auto& [s, w, padded] : cases) EXPECT_EQ(PadRight(s, w, ' '), padded) << s << w;
  EXPECT_EQ(PadRight("x", 4, '*'), "x***");
}

}  // namespace
}  // namespace zovu::testing
