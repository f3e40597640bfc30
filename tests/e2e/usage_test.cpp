#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

std::string UsageText(char subDirs) {
  return std::string(
             "\n"
             "ZOVU " ZOVU_VERSION
             "\n"
             "\n"
             "Usage: ZOVU [options] [@][path][/][mask][[,mask]...] [options]\n"
             "       Get the total number or byte size of files grouped by extension\n"
             "\n"
             "       Press ESC during search to interrupt prematurely.\n"
             "\n"
             "       Possible options are: (Current values in {...})\n"
             "       * -T[\xC2\xB1] for totalling size per extenion rather than number of files\n"
             "       * -S[\xC2\xB1] for subdirectory processing {") +
         subDirs +
         "}\n"
         "       * -W    Write new or update existing configuration file\n";
}

TEST(Usage, NoParametersPrintsBannerAndUsageOnly) {
  TempDir dir;
  const ProcessResult result = RunZovu({}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, WithLineEnds(UsageText('-')));
  EXPECT_EQ(result.err, "");
}

TEST(Usage, LongOptionsHelpAndVersionAnswerInTheirPlaceAmongTheOptions) {
  const std::string help =
      "\n"
      "       Long options, written --name=value (none given: the table above, as ever):\n"
      "       * --format=box|list|csv|json  the table (box), a list ranked by bytes with\n"
      "         both figures and their shares (list), or data for scripts (csv, json)\n"
      "       * --sort=extension|files|bytes  the order of list, csv and json rows\n"
      "       * --ext=3|full  key by the first three characters of the extension, or all\n"
      "       * --exclude=MASKS  neither count nor enter what the masks select (repeatable)\n"
      "       * --one-file-system  enter no directory on another file system\n"
      "       * --disk-usage  total bytes on disk, a file of several hard links once\n"
      "       * --threads=N  walk with N threads, 1 to 256 (before ZOVU_THREADS)\n"
      "       * --help, --version  this text; the version\n"
      "       The whole manual: man zovu\n";
  const std::string version =
      "zovu " ZOVU_VERSION
      "\n"
      "Copyright (c) 2026 ZOVU developers; released under the MIT License\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--help"}, UsageText('-') + help},
      {{"--version"}, version},
      // Options to the left are applied and shown; the rest are not looked at.
      {{"-S+", "dir/", "--help", "-X"}, UsageText('+') + help},
      {{"-T", "--version", "--help", "-W"}, version},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const ProcessResult result = RunZovu(c.args, dir.path());
    EXPECT_EQ(result.exitStatus, 0) << c.args[0];
    EXPECT_EQ(result.out, WithLineEnds(c.out)) << c.args[0];
    EXPECT_EQ(result.err, "") << c.args[0];
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "-W behind them saved nothing";
}

}  // namespace
}  // namespace zovu::testing
