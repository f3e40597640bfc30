#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/run_process.h"

namespace zovu::testing {

// The note on standard error that names a start directory which could not be entered, up
// to the system's reason, whose words differ between systems.
inline std::string UnenteredNote(const std::filesystem::path& start) {
  return "Note: the start directory " + PathForProgram(start) + " could not be entered: ";
}

// The line on standard error that names a list file which could not be opened or read,
// up to the system's reason.
inline std::string ListFileNote(const std::filesystem::path& list) {
  return "zovu: " + PathForProgram(list) + ": ";
}

// Checks what a search run reports around its table: the errors line first exactly when
// errors are expected, the summary line last, on standard error nothing or the one note
// that begins with note, and the exit status (1 after errors, 0 otherwise).
inline void ExpectOutcome(const ProcessResult& result, std::int64_t matches, bool errors,
                          const std::string& note = {}) {
  const std::string errorsLine = WithLineEnds("Errors during processing!\n");
  const std::string summary = WithLineEnds(
      std::to_string(matches) + (matches == 1 ? " match found!\n" : " matches found!\n"));
  EXPECT_TRUE(result.out.ends_with(summary)) << "expected " << summary << "got:\n" << result.out;
  EXPECT_EQ(result.out.starts_with(errorsLine), errors) << result.out;
  EXPECT_EQ(result.out.find(errorsLine, errors ? 1 : 0), std::string::npos) << result.out;
  if (note.empty()) {
    EXPECT_EQ(result.err, "");
  } else {
    EXPECT_TRUE(result.err.starts_with(note)) << "expected " << note << "got:\n" << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
  }
  EXPECT_EQ(result.exitStatus, errors ? 1 : 0);
}

// A directory name of the given length, so that paths can be made longer than any
// fixed-size buffer would hold.
inline std::string LongName(char fill, std::size_t length) {
  return std::string(length, fill);
}

}  // namespace zovu::testing
