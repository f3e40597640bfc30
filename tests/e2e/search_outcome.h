#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/run_process.h"

namespace zovu::testing {

// Checks what a search run reports around its table: the errors line first exactly when
// errors are expected, the summary line last, nothing on standard error, and the exit
// status (1 after errors, 0 otherwise).
inline void ExpectOutcome(const ProcessResult& result, std::int64_t matches, bool errors) {
  const std::string errorsLine = WithLineEnds("Errors during processing!\n");
  const std::string summary = WithLineEnds(
      std::to_string(matches) + (matches == 1 ? " match found!\n" : " matches found!\n"));
  EXPECT_TRUE(result.out.ends_with(summary)) << "expected " << summary << "got:\n" << result.out;
  EXPECT_EQ(result.out.starts_with(errorsLine), errors) << result.out;
  EXPECT_EQ(result.out.find(errorsLine, errors ? 1 : 0), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitStatus, errors ? 1 : 0);
}

// A directory name of the given length, so that paths can be made longer than any
// fixed-size buffer would hold.
inline std::string LongName(char fill, std::size_t length) {
  return std::string(length, fill);
}

}  // namespace zovu::testing
