#include <gtest/gtest.h>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {
namespace {

TEST(Usage, NoParametersPrintsBannerAndUsageOnly) {
  TempDir dir;
  const ProcessResult result = RunZovu({}, dir.path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(
      result.out,
      WithLineEnds(
          "\n"
          "ZOVU " ZOVU_VERSION "\n"
          "\n"
          "Usage: ZOVU [options] [@][path][/][mask][[,mask]...] [options]\n"
          "       Get the total number or byte size of files grouped by extension\n"
          "\n"
          "       Press ESC during search to interrupt prematurely.\n"
          "\n"
          "       Possible options are: (Current values in {...})\n"
          "       * -T[\xC2\xB1] for totalling size per extenion rather than number of files\n"
          "       * -S[\xC2\xB1] for subdirectory processing {-}\n"
          "       * -W    Write new or update existing configuration file\n"));
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace zovu::testing
