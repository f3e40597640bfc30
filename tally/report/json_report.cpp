#include <string>
#include <string_view>

#include "tally/decimal_text.h"
#include "tally/report/json_text.h"
#include "tally/report/report_writers.h"

namespace zovu {
namespace {

// The document's lines end in LF on every system: the same bytes everywhere.
constexpr std::string_view kNextMember = ",\n  ";

std::string_view JsonBool(bool value) {
  return value ? "true" : "false";
}

// "name": value, the value already written as JSON.
void AppendMember(std::string& out, std::string_view between, std::string_view name,
                  std::string_view value) {
  out += between;
  out += '"';
  out += name;
  out += "\": ";
  out += value;
}

// "files": 3, "bytes": 430: exact integers, digit by digit.
void AppendFigures(std::string& out, std::string_view between, const TallyFigures& figures) {
  AppendMember(out, between, "files", DecimalText(static_cast<TallyBytes>(figures.files)));
  AppendMember(out, between, "bytes", DecimalText(figures.bytes));
}

std::string Head(const RunFacts& run, const TallyFigures& totals) {
  std::string out = "{\n  \"program\": \"zovu\"";
  out += kNextMember;
  AppendJsonText(out, "version", run.version);
  out += kNextMember;
  AppendJsonText(out, "search", run.searchArgument);
  AppendMember(out, kNextMember, "subdirectories", JsonBool(run.subdirectories));
  AppendMember(out, kNextMember, "ext",
               run.keyRule == KeyRule::kWholeExtension ? "\"full\"" : "\"3\"");
  AppendMember(out, kNextMember, "sizes", run.diskUsage ? "\"disk\"" : "\"apparent\"");
  AppendMember(out, kNextMember, "aborted", JsonBool(run.aborted));
  AppendMember(out, kNextMember, "errors", JsonBool(run.errors));
  AppendFigures(out, kNextMember, totals);
  AppendMember(out, kNextMember, "extensions", "[");
  return out;
}

}  // namespace

void WriteJsonReport(Console& console, const Report& report) {
  if (report.run.errors) console.WriteNoteLine(kErrorsLine);
  std::string batch = Head(report.run, report.totals);
  for (std::size_t i = 0; i < report.rows.size(); ++i) {
    const TallyRow& row = report.rows[i];
    batch += i == 0 ? "\n    {" : ",\n    {";
    AppendJsonText(batch, "extension", row.key);
    AppendFigures(batch, ", ", row.figures);
    batch += '}';
    if (batch.size() >= 16384) {
      console.Write(batch);
      batch.clear();
    }
  }
  batch += report.rows.empty() ? "]\n}\n" : "\n  ]\n}\n";
  console.Write(batch);
}

}  // namespace zovu
