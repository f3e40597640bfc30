#include "driver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/block_scramble.h"
#include "common/memory_block_files.h"
#include "common/refusing_file_system.h"
#include "common/string_stream.h"
#include "driver/run.h"
#include "platform/no_keyboard.h"
#include "support/config_writer.h"

namespace zovu {
namespace {

using testing::Bytes;
using testing::MemoryBlockFiles;
using testing::RefusingFileSystem;
using testing::StringStream;

constexpr std::string_view kInvalidOptionLine =
    "PROBLEM: Invalid option specified, run ZOVU for list of valid options\n";

struct Fakes {
  StringStream report;
  StringStream errors;
  Console console{ConsoleStreams{&report, nullptr, &errors, 80, "\n"}};
  RefusingFileSystem fileSystem;
  NoKeyboard keyboard;
  MemoryBlockFiles blockFiles;
  RunOptions options;
  Environment env{console,
                  fileSystem,
                  keyboard,
                  PathStyle::kPosix,
                  std::chrono::nanoseconds::zero(),
                  "/usr/local/bin/zovu",
                  &blockFiles,
                  nullptr,
                  "1"};
};

ConfigBlock Switches(std::uint8_t subDirs, std::uint8_t totalSizes) {
  ConfigBlock block;
  block.SubDirs = subDirs;
  block.TotalSizes = totalSizes;
  return block;
}

TEST(ProcessOptions, SetsClearsAndTogglesTheSwitchesLeftToRight) {
  const struct {
    Parameters params;
    std::uint8_t subDirsBefore, totalSizesBefore;
    std::uint8_t subDirs, totalSizes;
    std::vector<std::string> plain;  // the plain parameters, in order
  } cases[] = {
      {{"-s"}, 0, 0, 1, 0, {}},
      {{"-S"}, 0, 0, 1, 0, {}},
      {{"-S"}, 1, 0, 0, 0, {}},
      {{"-s-"}, 1, 1, 0, 1, {}},
      {{"-S+"}, 0, 0, 1, 0, {}},
      {{"-s+"}, 0, 0, 1, 0, {}},
      {{"-S+xyz"}, 0, 0, 1, 0, {}},
      {{"-Sx"}, 0, 0, 0, 0, {}},
      {{"-Sx"}, 1, 0, 1, 0, {}},
      {{"-T"}, 0, 0, 0, 1, {}},
      {{"-T", "-T"}, 0, 0, 0, 0, {}},
      {{"-T", "-T"}, 0, 1, 0, 1, {}},
      {{"-t+", "-S-"}, 1, 0, 0, 1, {}},
      {{"-S+", "-S-"}, 0, 0, 0, 0, {}},
      {{"-S-", "-S"}, 0, 0, 1, 0, {}},
      // A lone "-" ends the options and is the search argument.
      {{"-", "-S+"}, 0, 0, 0, 0, {"-"}},
      {{"-T", "-", "-S+"}, 0, 0, 0, 1, {"-"}},
      {{"dir", "-", "-S+"}, 0, 0, 0, 0, {"dir", "-"}},
      // An option that begins with a blank ends them too.
      {{"- S", "-S+"}, 0, 0, 0, 0, {}},
      // An empty parameter is plain, not an option.
      {{"", "x", "-S+"}, 0, 0, 1, 0, {"", "x"}},
      {{"-S+", "dir/", "-T"}, 0, 0, 1, 1, {"dir/"}},
      {{"a", "-t", "b", "-s+", "c"}, 0, 0, 1, 1, {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const std::string& p : c.params) label += "[" + p + "]";
    Fakes fakes;
    ConfigBlock block = Switches(c.subDirsBefore, c.totalSizesBefore);
    EXPECT_EQ(ProcessOptions(c.params, block, fakes.options, fakes.env), std::nullopt) << label;
    EXPECT_EQ(block.SubDirs, c.subDirs) << label;
    EXPECT_EQ(block.TotalSizes, c.totalSizes) << label;
    for (std::size_t i = 0; i < c.plain.size(); ++i) {
      EXPECT_EQ(GetParameter(c.params, i + 1), c.plain[i]) << label << " plain " << i + 1;
    }
    EXPECT_EQ(GetParameter(c.params, c.plain.size() + 1), "") << label;
    EXPECT_EQ(fakes.report.text() + fakes.errors.text(), "") << label;
    EXPECT_TRUE(fakes.blockFiles.opened.empty()) << label;
  }
}

TEST(ProcessOptions, AnyOtherOptionEndsTheRunWithTheProblem) {
  for (const Parameters& params :
       {Parameters{"-X"}, Parameters{"-S+", "-x", "-T"}, Parameters{"dir", "-\x01"},
        Parameters{"-\xE9"}, Parameters{"-1"}}) {
    Fakes fakes;
    ConfigBlock block;
    EXPECT_EQ(ProcessOptions(params, block, fakes.options, fakes.env), kExitProblem) << params[0];
    EXPECT_EQ(fakes.errors.text(), kInvalidOptionLine) << params[0];
    EXPECT_EQ(fakes.report.text(), "");
    EXPECT_EQ(block.TotalSizes, 0) << "options behind the invalid one are not applied";
  }
}

TEST(RunZovu, AnInvalidOptionMakesNoSearch) {
  Fakes fakes;
  EXPECT_EQ(RunZovu({"-S+", "dir/", "-X"}, fakes.env), kExitProblem);
  EXPECT_EQ(fakes.errors.text(), kInvalidOptionLine);
  EXPECT_EQ(fakes.report.text(), "");
  EXPECT_EQ(fakes.fileSystem.calls, 0);
}

// The settings block as the file holds it, unscrambled.
Bytes SavedBlock(MemoryBlockFiles& files) {
  Bytes bytes = files.files["zovu.cfg"];
  testing::Scramble(bytes);
  return bytes;
}

TEST(ProcessOptions, WriteSavesTheSwitchesSetToItsLeftAndEndsTheRun) {
  Fakes fakes;
  ConfigBlock block;
  EXPECT_EQ(ProcessOptions({"-S+", "dir/", "-W", "-T+", "-X"}, block, fakes.options, fakes.env),
            kExitOk);
  EXPECT_EQ(fakes.report.text(), "Configuration successfully saved\n");
  EXPECT_EQ(fakes.errors.text(), "");
  EXPECT_EQ(fakes.blockFiles.opened, std::vector<std::string>{"zovu.cfg"});
  const Bytes saved = SavedBlock(fakes.blockFiles);
  ASSERT_EQ(saved.size(), 29u);
  EXPECT_EQ(saved[0], 24);
  EXPECT_EQ(std::string(saved.begin() + 1, saved.begin() + 25), "ZOVU settings block v1.0");
  EXPECT_EQ(saved[25], 1) << "SubDirs";
  EXPECT_EQ(saved[26], 0) << "TotalSizes: -T+ stands behind -W";
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 27; ++i) sum ^= saved[i];
  EXPECT_EQ(saved[27], sum);
  EXPECT_EQ(saved[28], 0);
  // The switches in memory are still the ones the options set.
  EXPECT_EQ(block.SubDirs, 1);
  EXPECT_EQ(block.TotalSizes, 0);
}

TEST(ProcessOptions, WriteReportsAFileThatCannotBeSaved) {
  const struct {
    const char* what;
    void (*breakFiles)(MemoryBlockFiles&);
    std::string_view problem;
  } cases[] = {
      {"open", [](MemoryBlockFiles& f) { f.failOpen = true; },
       "PROBLEM: Could not save configuration file\n"},
      {"short write", [](MemoryBlockFiles& f) { f.writeLimit = 3; },
       "PROBLEM: Could not save configuration file\n"},
      {"read", [](MemoryBlockFiles& f) { f.failRead = true; },
       "PROBLEM: Could not read configuration file zovu.cfg\n"},
  };
  for (const auto& c : cases) {
    Fakes fakes;
    fakes.blockFiles.files["zovu.cfg"] = Bytes(10, 0x42);
    c.breakFiles(fakes.blockFiles);
    ConfigBlock block;
    EXPECT_EQ(ProcessOptions({"-w"}, block, fakes.options, fakes.env), kExitProblem) << c.what;
    EXPECT_EQ(fakes.errors.text(), c.problem) << c.what;
    EXPECT_EQ(fakes.report.text(), "") << c.what;
  }
}

TEST(GetParameter, CountsPastTwoHundredAndFiftyFiveWithoutWrapping) {
  Parameters params;
  for (int i = 1; i <= 300; ++i) params.push_back("p" + std::to_string(i));
  for (int i = 1; i <= 300; ++i) params.push_back("-o" + std::to_string(i));
  EXPECT_EQ(GetParameter(params, 44), "p44");
  EXPECT_EQ(GetParameter(params, 300), "p300");
  EXPECT_EQ(GetParameter(params, 301), "");
  EXPECT_EQ(GetParameter(params, 0), "");
}

}  // namespace
}  // namespace zovu
