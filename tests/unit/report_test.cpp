// The reports other than the table, written from hand-made runs: exact bytes.
#include "tally/report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/string_stream.h"
#include "tally/report/report_writers.h"
#include "tally/report/short_size.h"

namespace zovu::testing {
namespace {

__extension__ typedef unsigned __int128 Wide;

TEST(ShortBinarySize, RoundsUpAsDirectoryListingsDo) {
  // What "ls -lh" and "du -h --apparent-size" print for files of these sizes.
  const std::pair<TallyBytes, std::string_view> cases[] = {
      {0, "0"},
      {1023, "1023"},
      {1024, "1.0K"},
      {1025, "1.1K"},
      {1126, "1.1K"},
      {1127, "1.2K"},
      {1536, "1.5K"},
      {1537, "1.6K"},
      {10239, "10K"},
      {10240, "10K"},
      {10241, "11K"},
      {1047552, "1023K"},
      {1047553, "1.0M"},
      {1048577, "1.1M"},
      {10485760, "10M"},
      {1073741823, "1.0G"},
      {TallyBytes{1} << 40, "1.0T"},
      {TallyBytes{1} << 100, "1.0Q"},
      {static_cast<TallyBytes>(~Wide{0} >> 1), "134217728Q"},
  };
  for (const auto& [bytes, shown] : cases) {
    EXPECT_EQ(ShortBinarySize(bytes), shown) << static_cast<double>(bytes);
  }
}

TallyRows Rows(const std::vector<std::pair<std::string, TallyFigures>>& figures) {
  TallyRows rows;
  for (const auto& [key, f] : figures) rows.push_back(TallyRow{key, f});
  return rows;
}

TEST(MakeReport, OrdersTheRowsAndTotalsThem) {
  const TallyRows inKeyOrder =
      Rows({{"", {3, 430}}, {"A", {1, 500}}, {"B", {2, 500}}, {"C", {2, 9000}}, {"D", {1, 500}}});
  const std::pair<RowOrder, std::string> cases[] = {
      {RowOrder::kExtension, "[][A][B][C][D]"},
      // Most first; ties by the other figure, then by key.
      {RowOrder::kFiles, "[][C][B][A][D]"},
      {RowOrder::kBytes, "[C][B][A][D][]"},
  };
  for (const auto& [order, keys] : cases) {
    const Report report = MakeReport({}, inKeyOrder, order);
    std::string shown;
    for (const TallyRow& row : report.rows) shown += "[" + row.key + "]";
    EXPECT_EQ(shown, keys);
    EXPECT_EQ(report.totals.files, 9u);
    EXPECT_TRUE(report.totals.bytes == 10930);
  }
}

// A console writing into strings: the report, and standard error.
struct Streams {
  explicit Streams(bool terminal = false, bool utf8 = false)
      : console(ConsoleStreams{&report, nullptr, &errors, 80, "\n", terminal, nullptr, utf8}) {}
  StringStream report;
  StringStream errors;
  Console console;
};

TEST(WriteCsvReport, QuotesAndGuardsCellsAndEndsRowsInCrLf) {
  Streams streams;
  RunFacts run;
  run.errors = true;
  WriteCsvReport(streams.console, MakeReport(run,
                                             Rows({{"", {3, 430}},
                                                   {"\tX", {1, 1}},
                                                   {"\"Q\"", {1, 2}},
                                                   {"'X", {1, 3}},
                                                   {"+X", {1, 4}},
                                                   {"=1+", {1, 5}},
                                                   {"N\nL", {1, 6}},
                                                   {"X,Y", {1, 7}},
                                                   {"\xE9T", {2, TallyBytes{1} << 100}}}),
                                             RowOrder::kExtension));
  EXPECT_EQ(streams.report.text(),
            "extension,files,bytes\r\n"
            ",3,430\r\n"
            "\"'\tX\",1,1\r\n"
            "\"\"\"Q\"\"\",1,2\r\n"
            "\"''X\",1,3\r\n"
            "\"'+X\",1,4\r\n"
            "\"'=1+\",1,5\r\n"
            "\"N\nL\",1,6\r\n"
            "\"X,Y\",1,7\r\n"
            "\xE9T,2,1267650600228229401496703205376\r\n");
  EXPECT_EQ(streams.errors.text(), "Errors during processing!\n");
}

TEST(WriteJsonReport, TellsTheRunAndKeepsEveryKeyExact) {
  Streams streams;
  const RunFacts run{.version = "1.0.0",
                     .searchArgument = "@l\xFFst",
                     .subdirectories = true,
                     .totalSizes = true,
                     .keyRule = KeyRule::kWholeExtension,
                     .diskUsage = true,
                     .aborted = true,
                     .errors = true};
  WriteJsonReport(streams.console, MakeReport(run,
                                              Rows({{"", {1, 0}},
                                                    {"A\"\\\n\x1B\u202E", {2, 7}},
                                                    {"\xE9T\xC3\xA9", {3, TallyBytes{1} << 100}}}),
                                              RowOrder::kBytes));
  EXPECT_EQ(streams.report.text(),
            "{\n"
            "  \"program\": \"zovu\",\n"
            "  \"version\": \"1.0.0\",\n"
            "  \"search\": \"@l\\ufffdst\", \"search_hex\": \"406cff7374\",\n"
            "  \"subdirectories\": true,\n"
            "  \"ext\": \"full\",\n"
            "  \"sizes\": \"disk\",\n"
            "  \"aborted\": true,\n"
            "  \"errors\": true,\n"
            "  \"files\": 6,\n"
            "  \"bytes\": 1267650600228229401496703205383,\n"
            "  \"extensions\": [\n"
            "    {\"extension\": \"\\ufffdT\u00E9\", \"extension_hex\": \"e954c3a9\", "
            "\"files\": 3, \"bytes\": 1267650600228229401496703205376},\n"
            "    {\"extension\": \"A\\\"\\\\\\n\\u001b\\u202e\", \"files\": 2, \"bytes\": 7},\n"
            "    {\"extension\": \"\", \"files\": 1, \"bytes\": 0}\n"
            "  ]\n"
            "}\n");
  EXPECT_EQ(streams.errors.text(), "Errors during processing!\n");
}

// n whole blocks (U+2588).
std::string Blocks(int n) {
  std::string blocks;
  for (int i = 0; i < n; ++i) blocks += "\u2588";
  return blocks;
}

TEST(WriteListReport, OnAUtf8TerminalDrawsBarsInEighthsAndShowsKeysSafely) {
  Streams streams(true, true);
  RunFacts run;
  run.errors = true;
  WriteListReport(streams.console,
                  MakeReport(run, Rows({{"C", {2, 3000}}, {"\x1B", {1, 1000}}, {"日本", {1, 4}}}),
                             RowOrder::kBytes));
  EXPECT_EQ(streams.report.text(), std::string("Errors during processing!\n"
                                               "Ext    Files  Files%  Bytes  Bytes%\n") +
                                       "C          2   50.0%   3.0K   74.9%  " + Blocks(31) +
                                       "\u258C\n" + "?          1   25.0%   1000   25.0%  " +
                                       Blocks(10) + "\u258C\n" +
                                       "日本       1   25.0%      4    0.1%\n"
                                       "-----------------------------------\n"
                                       "Total      4  100.0%   4.0K  100.0%\n"
                                       "4 matches found!\n");
  EXPECT_EQ(streams.errors.text(), "");
}

}  // namespace
}  // namespace zovu::testing
