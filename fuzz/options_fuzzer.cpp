// Option processing over random parameter lists, against fakes only: no directory
// service is ever asked, and -W saves into files kept in memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/block_scramble.h"
#include "common/memory_block_files.h"
#include "common/refusing_file_system.h"
#include "common/string_stream.h"
#include "driver/options.h"
#include "fuzz_check.h"
#include "platform/no_keyboard.h"
#include "support/ascii.h"
#include "support/config_writer.h"

namespace {

using namespace zovu;
using testing::Bytes;
using testing::MemoryBlockFiles;
using testing::RefusingFileSystem;
using testing::StringStream;

enum class FileTrouble { kNone, kOpen, kShortWrite, kRead, kSize };

// What a run of the options should come to, worked out from the parameters alone.
struct Expected {
  std::optional<int> status;
  std::uint8_t subDirs = 0;
  std::uint8_t totalSizes = 0;
  bool saved = false;     // -W was reached
  bool answered = false;  // --help or --version was reached
  std::string problem{};  // the problem line the run ends with, or its beginning
  bool wholeLine = true;  // problem is the whole line, not its beginning
};

void ApplySwitch(std::uint8_t& value, char c) {
  if (c == ' ') value = value == 0 ? 1 : 0;
  if (c == '+') value = 1;
  if (c == '-') value = 0;
}

bool OneOf(std::string_view value, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), value) != words.end();
}

// A long option with a value it takes; --help and --version apart.
bool ValidLongOption(std::string_view param, bool& sortGiven, bool& box) {
  if (OneOf(param, {"--one-file-system", "--disk-usage"})) return true;
  const std::size_t equals = param.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view name = param.substr(0, equals);
  const std::string_view value = param.substr(equals + 1);
  if (name == "--format" && OneOf(value, {"box", "list", "csv", "json"})) {
    box = value == "box";
    return true;
  }
  if (name == "--sort" && OneOf(value, {"extension", "files", "bytes"})) {
    sortGiven = true;
    return true;
  }
  if (name == "--ext") return OneOf(value, {"3", "full"});
  if (name == "--exclude") return !value.empty();
  if (name != "--threads" || value.empty() || value.size() > 6) return false;
  if (value.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const int threads = std::stoi(std::string(value));
  return threads >= 1 && threads <= 256;
}

Expected Model(const Parameters& params, std::uint8_t subDirs, std::uint8_t totalSizes) {
  Expected e{std::nullopt, subDirs, totalSizes, false};
  bool sortGiven = false;
  bool box = true;
  for (const std::string& param : params) {
    if (param.empty() || param.front() != '-') continue;
    if (param == "--help" || param == "--version") {
      e.status = kExitOk;
      e.answered = true;
      return e;
    }
    if (param.starts_with("--")) {
      if (ValidLongOption(param, sortGiven, box)) continue;
      e.status = kExitProblem;
      // An unknown long option, or one with a value it does not take, is named; what
      // values it takes follows in brackets.
      e.problem = "PROBLEM: Invalid option specified: " + param;
      e.wholeLine = false;
      return e;
    }
    std::string text = param.substr(1) + ' ';
    AsciiUpper(text);
    if (text[0] == ' ') return e;
    if (text[0] == 'S') {
      ApplySwitch(e.subDirs, text[1]);
    } else if (text[0] == 'T') {
      ApplySwitch(e.totalSizes, text[1]);
    } else if (text[0] == 'W') {
      e.saved = true;
      return e;
    } else {
      e.status = kExitProblem;
      e.problem = "PROBLEM: Invalid option specified, run ZOVU for list of valid options\n";
      return e;
    }
  }
  if (sortGiven && box) {
    e.status = kExitProblem;
    e.problem =
        "PROBLEM: --sort does not apply to the box table, whose order is fixed: add "
        "--format=list, csv or json\n";
  }
  return e;
}

std::string FirstPlainParameter(const Parameters& params) {
  for (const std::string& param : params) {
    if (param.empty() || param.front() != '-' || param == "-") return param;
  }
  return {};
}

// True when the file holds the block, scrambled, at some offset, with every other byte
// as it was before.
bool HoldsBlockOverOldBytes(const Bytes& file, const Bytes& old, Bytes block) {
  testing::Scramble(block);
  for (std::size_t at = 0; at + block.size() <= file.size(); ++at) {
    if (!std::equal(block.begin(), block.end(), file.begin() + static_cast<std::ptrdiff_t>(at))) {
      continue;
    }
    bool othersKept = file.size() == std::max(old.size(), at + block.size());
    for (std::size_t i = 0; othersKept && i < old.size(); ++i) {
      if (i < at || i >= at + block.size()) othersKept = file[i] == old[i];
    }
    if (othersKept) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto subDirs = static_cast<std::uint8_t>(input.ConsumeBool());
  const auto totalSizes = static_cast<std::uint8_t>(input.ConsumeBool());
  const auto trouble = static_cast<FileTrouble>(input.ConsumeIntegralInRange<int>(0, 4));
  const Bytes oldFile = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64));
  Parameters params(input.ConsumeIntegralInRange<std::size_t>(0, 12));
  for (std::string& param : params) param = input.ConsumeRandomLengthString(16);

  StringStream report;
  StringStream errors;
  Console console(ConsoleStreams{&report, nullptr, &errors, 80, "\n"});
  RefusingFileSystem fileSystem;
  NoKeyboard keyboard;
  MemoryBlockFiles files;
  if (!oldFile.empty()) files.files["zovu.cfg"] = oldFile;
  files.failOpen = trouble == FileTrouble::kOpen;
  files.writeLimit = trouble == FileTrouble::kShortWrite ? 5 : SIZE_MAX;
  files.failRead = trouble == FileTrouble::kRead;
  files.failSize = trouble == FileTrouble::kSize;
  Environment env{console,
                  fileSystem,
                  keyboard,
                  PathStyle::kPosix,
                  std::chrono::nanoseconds::zero(),
                  "/usr/local/bin/zovu",
                  &files,
                  nullptr,
                  "1"};

  ConfigBlock block;
  block.SubDirs = subDirs;
  block.TotalSizes = totalSizes;
  RunOptions options;
  const std::optional<int> status = ProcessOptions(params, block, options, env);
  const Expected expected = Model(params, subDirs, totalSizes);

  ZOVU_FUZZ_CHECK(fileSystem.calls == 0);
  ZOVU_FUZZ_CHECK(block.SubDirs == expected.subDirs && block.TotalSizes == expected.totalSizes);
  ZOVU_FUZZ_CHECK(GetParameter(params, 1) == FirstPlainParameter(params));
  if (!expected.saved) {
    ZOVU_FUZZ_CHECK(status == expected.status);
    ZOVU_FUZZ_CHECK(files.opened.empty());
    ZOVU_FUZZ_CHECK(report.text().empty() != expected.answered);
    if (expected.wholeLine) {
      ZOVU_FUZZ_CHECK(errors.text() == expected.problem);
    } else {
      ZOVU_FUZZ_CHECK(errors.text().starts_with(expected.problem));
      ZOVU_FUZZ_CHECK(errors.text().ends_with(", run ZOVU for list of valid options\n"));
    }
    return 0;
  }

  // -W: one file, named after the program, saved or reported.
  ZOVU_FUZZ_CHECK(files.opened == std::vector<std::string>{"zovu.cfg"});
  const bool readTrouble =
      (trouble == FileTrouble::kRead && !oldFile.empty()) || trouble == FileTrouble::kSize;
  if (trouble == FileTrouble::kNone || (trouble == FileTrouble::kRead && oldFile.empty())) {
    ZOVU_FUZZ_CHECK(status == kExitOk);
    ZOVU_FUZZ_CHECK(report.text() == "Configuration successfully saved\n");
    ZOVU_FUZZ_CHECK(errors.text().empty());
    Bytes saved(reinterpret_cast<const std::uint8_t*>(&block),
                reinterpret_cast<const std::uint8_t*>(&block) + sizeof block);
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 2 < saved.size(); ++i) sum ^= saved[i];
    ZOVU_FUZZ_CHECK(saved[saved.size() - 2] == sum && saved.back() == 0);
    ZOVU_FUZZ_CHECK(HoldsBlockOverOldBytes(files.files["zovu.cfg"], oldFile, saved));
  } else {
    ZOVU_FUZZ_CHECK(status == kExitProblem);
    ZOVU_FUZZ_CHECK(report.text().empty());
    ZOVU_FUZZ_CHECK(errors.text() == (readTrouble
                                          ? "PROBLEM: Could not read configuration file zovu.cfg\n"
                                          : "PROBLEM: Could not save configuration file\n"));
  }
  return 0;
}
