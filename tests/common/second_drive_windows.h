#pragma once

#include <filesystem>
#include <string>

namespace zovu::testing {

// A fresh, empty directory on a drive other than the one of the temporary folder, for
// tests that cross drives. The drive is the one that ZOVU_TEST_SECOND_DRIVE names
// ("Y:"; the Wine test prefix maps it to a scratch folder), else a free letter that
// this object maps to a temporary folder while it lives (DefineDosDeviceW).
class SecondDrive {
 public:
  SecondDrive();
  ~SecondDrive();
  SecondDrive(const SecondDrive&) = delete;
  SecondDrive& operator=(const SecondDrive&) = delete;

  // Empty when no second drive could be found; the tests then skip.
  const std::string& letter() const { return letter_; }  // such as "Y:"
  const std::filesystem::path& directory() const { return directory_; }
  // Why there is no second drive.
  const std::string& problem() const { return problem_; }

 private:
  std::string letter_;
  std::filesystem::path directory_;
  std::filesystem::path mappedFolder_;
  std::string problem_;
};

// A drive letter that names no drive here, such as "Q:".
std::string UnusedDriveLetter();

}  // namespace zovu::testing
