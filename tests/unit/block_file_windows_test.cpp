// What keeps the Windows byte file from a name: the read-only attribute, which stops
// administrators too, and device names.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/temp_dir.h"
#include "platform/windows/windows_block_file.h"

namespace zovu {
namespace {

std::string Content(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WindowsBlockFile, RefusesAReadOnlyFileAndLeavesIt) {
  testing::TempDir dir;
  testing::CurrentDirScope inside(dir.path());
  const std::filesystem::path file = dir.File("zovu.cfg", "earlier");
  ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  // Windows refuses to write it whoever asks; Wine run as root maps the attribute to the
  // file's permissions, which do not stop root.
  const HANDLE probe = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    GTEST_SKIP() << "this system lets the process write a read-only file (Wine run as root)";
  }
  WindowsBlockFileOpener opener;
  EXPECT_EQ(opener.Open("zovu.cfg"), nullptr);
  EXPECT_EQ(Content(file), "earlier");
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsBlockFile, RefusesDevices) {
  testing::TempDir dir;
  testing::CurrentDirScope inside(dir.path());
  WindowsBlockFileOpener opener;
  for (const char* device : {"NUL", "CON"}) {
    EXPECT_EQ(opener.Open(device), nullptr) << device;
  }
}

}  // namespace
}  // namespace zovu
