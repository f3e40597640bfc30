// The list, csv and json reports of the real program: data read back by real parsers
// (Python's json and csv modules) gives the figures of the box, whatever the names hold.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

using namespace std::string_literals;

// Reads a csv or json report and prints one line per key, sorted: its bytes in hex, its
// files and its bytes. Refuses totals that are not the sums, and formula cells unguarded.
constexpr std::string_view kParser = R"(import csv, io, json, sys
kind, path = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
lines = []
if kind == 'json':
    doc = json.loads(data)
    for e in doc['extensions']:
        key = bytes.fromhex(e['extension_hex']) if 'extension_hex' in e else e['extension'].encode()
        lines.append('%s %d %d' % (key.hex(), e['files'], e['bytes']))
    assert doc['files'] == sum(e['files'] for e in doc['extensions'])
    assert doc['bytes'] == sum(e['bytes'] for e in doc['extensions'])
else:
    rows = list(csv.reader(io.StringIO(data.decode('utf-8', 'surrogateescape'), newline='')))
    assert rows[0] == ['extension', 'files', 'bytes'], rows[0]
    for cell, files, size in rows[1:]:
        if cell.startswith("'"):
            cell = cell[1:]
        elif cell[:1] in ('=', '+', '-', '@', '\t', '\r'):
            sys.exit('unguarded cell ' + repr(cell))
        key = cell.encode('utf-8', 'surrogateescape')
        lines.append('%s %d %d' % (key.hex(), int(files), int(size)))
print('\n'.join(sorted(lines)))
)";

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 0xF];
  }
  return hex;
}

// Each key of a box table with its figure. Keys hold no dot, so a cell's key ends at its
// first " ."; keys here end in no blank, so the blanks before it are padding.
std::map<std::string, std::string> BoxFigures(const std::string& out) {
  const std::string lineEnd = WithLineEnds("\n");
  std::size_t at = 0;
  for (int line = 0; line < 3; ++line) at = out.find(lineEnd, at) + lineEnd.size();
  std::map<std::string, std::string> figures;
  while (out.compare(at, 2, "| ") == 0) {
    const std::size_t dot = out.find(" .", at);
    const std::size_t end = out.find('|', dot);
    std::string key = out.substr(at + 2, dot - at - 2);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    const std::string figure = out.substr(dot + 2, end - dot - 2);
    const std::size_t digits = figure.find_first_not_of(' ');
    if (digits != std::string::npos) figures[key] = figure.substr(digits);
    at = end + (out.compare(end + 1, lineEnd.size(), lineEnd) == 0 ? 1 + lineEnd.size() : 0);
  }
  return figures;
}

TEST(ReportFormats, CsvAndJsonReadBackByRealParsersGiveTheFiguresOfTheBox) {
  std::vector<std::string> names = {
      "a.x,y",     "b.=1+2", "c.+x",  "d.-x",  "e.@x",      "f.'x",  "g.日本語",
      "h.e\u0301", "i.txt",  "j.TXT", "plain", "k.a,b,c,d", "l.x'y", "t.\u202Ex\u2028",
  };
  if (!WindowsBinaryUnderTest()) {
    // Characters that Windows does not allow in names, and bytes that are no UTF-8.
    for (const std::string& name : {"m.\"q\""s, "n.n\nl"s, "o.\tx"s, "p.\rx"s, "q.\xE9t\xE9"s,
                                    "s.\x7F\x1B\x01"s, "r.\"y,z\n"s}) {
      names.push_back(name);
    }
  }
  TempDir dir;
  for (std::size_t i = 0; i < names.size(); ++i) {
    dir.File("tree/" + names[i], std::string(100 * i + 7, 'x'));
  }
  dir.File("parse.py", kParser);
  for (const char* ext : {"--ext=3", "--ext=full"}) {
    SCOPED_TRACE(ext);
    const ProcessResult files = RunZovu({ext, "tree/"}, dir.path());
    const ProcessResult bytes = RunZovu({ext, "-T", "tree/"}, dir.path());
    ASSERT_EQ(files.exitStatus, 0);
    ASSERT_EQ(bytes.exitStatus, 0);
    const std::map<std::string, std::string> fileFigures = BoxFigures(files.out);
    const std::map<std::string, std::string> byteFigures = BoxFigures(bytes.out);
    std::string expected;
    for (const auto& [key, count] : fileFigures) {
      expected += Hex(key) + " " + count + " " + byteFigures.at(key) + "\n";
    }
    ASSERT_EQ(fileFigures.size(), byteFigures.size());
    ASSERT_GE(fileFigures.size(), 10u);
    for (const char* format : {"csv", "json"}) {
      SCOPED_TRACE(format);
      const ProcessResult data = RunZovu({ext, "--format="s + format, "tree/"}, dir.path());
      EXPECT_EQ(data.exitStatus, 0);
      EXPECT_EQ(data.err, "");
      // -T is taken and changes nothing.
      EXPECT_EQ(RunZovu({"-T", ext, "--format="s + format, "tree/"}, dir.path()).out, data.out);
      dir.File("report", data.out);
      const ProcessResult parsed =
          RunProcess("python3", {"parse.py", format, "report"}, dir.path());
      EXPECT_EQ(parsed.err, "");
      EXPECT_EQ(parsed.out, expected);
    }
  }
}

}  // namespace
}  // namespace zovu::testing
