#include "common/second_drive_windows.h"

#include <windows.h>

#include <cstdlib>
#include <random>

namespace zovu::testing {
namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attr = GetFileAttributesW(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string RandomName() {
  static std::mt19937_64 random{std::random_device{}()};
  return "zovu-drive-" + std::to_string(random() % 1000000000);
}

}  // namespace

std::string UnusedDriveLetter() {
  const DWORD used = GetLogicalDrives();
  for (int i = 'Q' - 'A'; i < 26; ++i) {
    if ((used & (1u << i)) == 0) return std::string(1, static_cast<char>('A' + i)) + ":";
  }
  return {};
}

SecondDrive::SecondDrive() {
  const std::string tempDrive = std::filesystem::temp_directory_path().string().substr(0, 2);
  if (const char* given = std::getenv("ZOVU_TEST_SECOND_DRIVE")) {
    letter_ = given;
  } else {
    const std::string letter = UnusedDriveLetter();
    mappedFolder_ = std::filesystem::temp_directory_path() / RandomName();
    std::filesystem::create_directory(mappedFolder_);
    const std::wstring device(letter.begin(), letter.end());
    if (!letter.empty() &&
        DefineDosDeviceW(0, device.c_str(), mappedFolder_.wstring().c_str()) != 0 &&
        IsDirectory(device + L"\\")) {
      letter_ = letter;
    }
  }
  if (letter_.size() != 2 || letter_[1] != ':' || letter_ == tempDrive ||
      !IsDirectory(std::wstring(letter_.begin(), letter_.end()) + L"\\")) {
    problem_ = "no second drive here: set ZOVU_TEST_SECOND_DRIVE to a drive letter such as Y:";
    letter_.clear();
    return;
  }
  directory_ = std::filesystem::path(letter_ + "\\") / RandomName();
  std::filesystem::create_directory(directory_);
}

SecondDrive::~SecondDrive() {
  std::error_code ignored;
  // A directory that is current cannot be removed; leave the drive first.
  if (!letter_.empty() && std::filesystem::current_path(ignored).string().rfind(letter_, 0) == 0) {
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
  }
  if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  if (mappedFolder_.empty()) return;
  if (!letter_.empty()) {
    const std::wstring device(letter_.begin(), letter_.end());
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, device.c_str(), nullptr);
  }
  std::filesystem::remove_all(mappedFolder_, ignored);
}

}  // namespace zovu::testing
