// Standard output that cannot take the report: a reader that has gone, a full device,
// no standard output at all. None of them may end in success.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "e2e/hostile_run.h"

namespace zovu::testing {
namespace {

constexpr std::string_view kNotWritten = "PROBLEM: Could not write the report\n";

class BrokenOutput : public ::testing::Test {
 protected:
  BrokenOutput() {
    dir.File("a.txt", "1");
    dir.File("b.c", "22");
  }
  TempDir dir;
  // A search, the usage text and a save each write a report of their own.
  const std::vector<std::vector<std::string>> runs = {{"."}, {}, {"-T", "-W"}};
};

std::string Label(const std::vector<std::string>& args) {
  std::string label = "zovu";
  for (const std::string& arg : args) label += " " + arg;
  return label;
}

TEST_F(BrokenOutput, AReaderThatHasGoneEndsTheRunQuietlyBySigpipe) {
  if (WindowsBinaryUnderTest()) {
    GTEST_SKIP() << "Windows has no SIGPIPE: there the write just fails (the next test)";
  }
  for (const auto& args : runs) {
    const ProcessResult result =
        RunZovuHostile(args, dir.path(), {.output = Output::kPipeWithoutReader});
    EXPECT_EQ(result.exitStatus, 128 + SIGPIPE) << Label(args);
    EXPECT_EQ(result.err, "") << Label(args);
  }
}

// On Windows every write to a pipe that nobody reads fails like this.
TEST_F(BrokenOutput, AReaderThatHasGoneWithSigpipeIgnoredEndsQuietlyWithStatusTwo) {
  for (const auto& args : runs) {
    const ProcessResult result = RunZovuHostile(
        args, dir.path(), {.output = Output::kPipeWithoutReader, .ignoreBrokenPipe = true});
    EXPECT_EQ(result.exitStatus, 2) << Label(args);
    EXPECT_EQ(result.err, "") << Label(args);
  }
}

TEST_F(BrokenOutput, AFullDeviceIsAProblemNeverASuccess) {
  for (const Output output : {Output::kFullDevice, Output::kClosed}) {
    for (const auto& args : runs) {
      const ProcessResult result = RunZovuHostile(args, dir.path(), {.output = output});
      EXPECT_EQ(result.exitStatus, 2) << Label(args);
      EXPECT_EQ(result.err, WithLineEnds(kNotWritten)) << Label(args);
    }
  }
}

}  // namespace
}  // namespace zovu::testing
