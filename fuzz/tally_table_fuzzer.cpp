// The extension tally and its report table over random lists of names and sizes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/string_stream.h"
#include "fuzz_check.h"
#include "support/terminal_text.h"
#include "support/utf8.h"
#include "tally/extension_tally.h"
#include "tally/tally_callback.h"
#include "tally/tally_table.h"

namespace {

using namespace zovu;
using testing::StringStream;

constexpr std::size_t kRowColumns = 73;

// Byte by byte as unsigned values, a prefix before the longer text.
bool Below(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

struct Found {
  std::string name;
  std::int64_t size;
  bool directory;
};

// The extension without its dot: what follows the last dot after the last "/".
std::string_view Extension(std::string_view name) {
  name = name.substr(name.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

// The characters of a key: UTF-8 characters in well-formed UTF-8, else bytes.
std::size_t Characters(std::string_view key) {
  return IsValidUtf8(key, Surrogates::kMalformed) ? Utf8Characters(key, Surrogates::kMalformed)
                                                  : key.size();
}

// The decimal digits of a total, which may pass 64 bits; totals are never negative here.
std::size_t Digits(TallyBytes n) {
  std::size_t digits = 1;
  while (n >= 10) {
    n /= 10;
    ++digits;
  }
  return digits;
}

struct Rig {
  explicit Rig(bool totalSizes, bool terminal)
      : console(ConsoleStreams{&report, nullptr, &errors, 80, "\n", terminal}),
        callback(tally, totalSizes ? EntryDetails::kSizes : EntryDetails::kNamesOnly,
                 PathStyle::kPosix) {}
  StringStream report;
  StringStream errors;
  Console console;
  ExtensionTally tally;
  TallyCallback callback;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  ZOVU_FUZZ_CHECK(start == text.size());  // every line ended
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool totalSizes = input.ConsumeBool();
  std::vector<Found> found(input.ConsumeIntegralInRange<std::size_t>(0, 64));
  for (Found& f : found) {
    f.directory = input.ConsumeProbability<float>() < 0.1f;
    f.size = input.ConsumeBool() ? input.ConsumeIntegral<std::int64_t>() & 0x7FFFFFFFFFFFFFFF
                                 : input.ConsumeIntegralInRange<std::int64_t>(0, 100000);
    f.name = input.ConsumeRandomLengthString(24);
  }

  // What the tally should hold: for each key, the files or the sizes, with the key's
  // text taken from the callback's own rule applied to each name.
  std::int64_t files = 0;
  std::map<std::string, TallyBytes> expected;
  Rig rig(totalSizes, false);
  Rig shown(totalSizes, true);
  for (const Found& f : found) {
    const FoundFile entry{f.name, f.size, f.directory ? kAttrDirectory : kAttrArchive, 0};
    ZOVU_FUZZ_CHECK(rig.callback.Item(entry) && shown.callback.Item(entry));
    if (f.directory) continue;
    ++files;
    const std::string key = MakeTallyKey(Extension(f.name));
    expected[key] += totalSizes ? f.size : 1;  // totals never wrap
  }
  const TallyRows tallied = rig.tally.SortedRows();
  ZOVU_FUZZ_CHECK(static_cast<std::int64_t>(TotalFiles(tallied)) == files);

  // The list: keys strictly ascending and unique, upper case, at most three characters
  // cut from the front of the extension; counts as expected, and in count mode adding
  // up to the match count.
  std::vector<std::pair<std::string, TallyBytes>> entries;
  TallyBytes sum = 0;
  for (const TallyRow& row : tallied) {
    const std::string& key = row.key;
    ZOVU_FUZZ_CHECK(entries.empty() || Below(entries.back().first, key));
    ZOVU_FUZZ_CHECK(key.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos);
    ZOVU_FUZZ_CHECK(Characters(key) <= 3 && key.size() <= 12);
    const TallyBytes figure = totalSizes ? row.figures.bytes : TallyBytes(row.figures.files);
    entries.emplace_back(key, figure);
    sum += figure;
  }
  ZOVU_FUZZ_CHECK(entries.size() == expected.size());
  for (const auto& [key, count] : entries) {
    const auto it = expected.find(key);
    ZOVU_FUZZ_CHECK(it != expected.end() && it->second == count);
  }
  if (!totalSizes) ZOVU_FUZZ_CHECK(sum == files);

  // The table, once for a pipe and once for a terminal.
  PrintTallyTable(rig.console, tallied, totalSizes);
  PrintTallyTable(shown.console, shown.tally.SortedRows(), totalSizes);
  const std::string& text = shown.report.text();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    ZOVU_FUZZ_CHECK(c == '\n' || (byte >= 0x20 && byte != 0x7F));
  }
  bool controls = false;
  for (const auto& entry : entries) controls = controls || TerminalSafe(entry.first) != entry.first;
  if (!controls) ZOVU_FUZZ_CHECK(rig.report.text() == text);

  const std::size_t perRow = totalSizes ? 3 : 6;
  const std::size_t numberWidth = totalSizes ? 17 : 5;
  const std::vector<std::string> lines = Lines(text);
  // What a terminal is shown is safe already: well-formed UTF-8, nothing to replace.
  for (const std::string& line : lines) ZOVU_FUZZ_CHECK(TerminalSafe(line) == line);
  const std::size_t rows = (entries.size() + perRow - 1) / perRow;
  ZOVU_FUZZ_CHECK(lines.size() == 4 + rows);
  ZOVU_FUZZ_CHECK(lines.front() == "+" + std::string(71, '=') + "+" && lines.back() == lines[0]);
  for (std::size_t i = 0; i < 3; ++i) ZOVU_FUZZ_CHECK(lines[i].size() == kRowColumns);
  // Each data row is 73 columns wide while its keys and numbers fit their fields; a key
  // takes its bytes, and blanks up to 3 columns.
  for (std::size_t row = 0; row < rows; ++row) {
    const std::string& line = lines[3 + row];
    ZOVU_FUZZ_CHECK(line.starts_with("| ") && line.ends_with("|"));
    std::size_t extraBytes = 0;
    bool fits = true;
    bool keysFit = true;
    for (std::size_t i = row * perRow; i < std::min(entries.size(), (row + 1) * perRow); ++i) {
      const std::string key = TerminalSafe(entries[i].first);
      const std::size_t columns = DisplayColumns(key);
      ZOVU_FUZZ_CHECK(columns == DisplayColumns(entries[i].first));
      extraBytes += key.size() + (columns < 3 ? 3 - columns : 0) - 3;
      fits = fits && Digits(entries[i].second) <= numberWidth;
      keysFit = keysFit && columns <= 3;
    }
    if (fits) ZOVU_FUZZ_CHECK(line.size() == kRowColumns + extraBytes);
    if (!fits) ZOVU_FUZZ_CHECK(line.size() > kRowColumns + extraBytes);
    if (fits && keysFit) ZOVU_FUZZ_CHECK(DisplayColumns(line) == kRowColumns);
  }
  return 0;
}
