#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/second_drive_windows.h"
#include "common/temp_dir.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_output_stream.h"

namespace zovu {
namespace {

using testing::CurrentDirScope;
using testing::TempDir;

std::string Utf8(const std::filesystem::path& path) {
  return Utf8FromWide(path.wstring());
}

std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(WideFromUtf8(utf8));
}

std::map<std::string, DirectoryListing::Entry> ListByName(FileSystem& fileSystem,
                                                          EntryDetails details) {
  DirectoryListing listing;
  EXPECT_TRUE(fileSystem.ListCurrentDirectory(details, listing));
  std::map<std::string, DirectoryListing::Entry> byName;
  for (std::size_t i = 0; i < listing.Size(); ++i) {
    byName.emplace(listing.NameOf(listing.At(i)), listing.At(i));
  }
  return byName;
}

void SetLocalWriteTime(const std::filesystem::path& file, const SYSTEMTIME& local) {
  FILETIME localTime{};
  FILETIME universal{};
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &universal));
  const HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &universal));
  CloseHandle(handle);
}

TEST(WindowsFileSystem, ListsAttributesAndAsksForSizesAndTimesOnlyWhenWanted) {
  TempDir tree;
  const auto plain = tree.File("plain.txt", "hello");
  const auto hidden = tree.File("h.txt", "x");
  tree.Dir("sub");
  ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  SetLocalWriteTime(plain, SYSTEMTIME{2021, 6, 2, 15, 13, 45, 30, 0});
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  ASSERT_TRUE(fileSystem.ChangeDirectory(Utf8(tree.path())));

  const auto detailed = ListByName(fileSystem, EntryDetails::kSizesAndTimes);
  constexpr std::uint32_t kBits = kAttrReadOnly | kAttrHidden | kAttrDirectory;
  ASSERT_EQ(detailed.size(), 5u);  // with "." and ".."
  EXPECT_EQ(detailed.at(".").attr & kBits, kAttrDirectory);
  EXPECT_EQ(detailed.at("..").attr & kBits, kAttrDirectory);
  EXPECT_EQ(detailed.at("sub").attr & kBits, kAttrDirectory);
  EXPECT_EQ(detailed.at("h.txt").attr & kBits, kAttrReadOnly | kAttrHidden);
  EXPECT_EQ(detailed.at("plain.txt").attr & kBits, 0u);
  EXPECT_EQ(detailed.at("plain.txt").size, 5);
  EXPECT_EQ(detailed.at("h.txt").size, 1);
  // 2021-06-15 13:45:30 local time as a DOS date (high half) and time (low half).
  const std::uint32_t dosDate = ((2021 - 1980) << 9) | (6 << 5) | 15;
  const std::uint32_t dosTime = (13 << 11) | (45 << 5) | (30 / 2);
  EXPECT_EQ(detailed.at("plain.txt").time, (dosDate << 16) | dosTime);
  EXPECT_EQ(detailed.at("sub").time, 0u);  // directories carry no details, as on POSIX

  const auto namesOnly = ListByName(fileSystem, EntryDetails::kNamesOnly);
  ASSERT_EQ(namesOnly.size(), 5u);
  EXPECT_EQ(namesOnly.at("plain.txt").size, 0);
  EXPECT_EQ(namesOnly.at("plain.txt").time, 0u);
  EXPECT_EQ(namesOnly.at("h.txt").attr & kBits, kAttrReadOnly | kAttrHidden);
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFileSystem, SizesJoinTheHighAndLowHalves) {
  TempDir tree;
  const auto big = tree.File("big.bin");
  constexpr std::int64_t kSize = (std::int64_t{5} << 30) + 3;
  {
    const HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    // Sparse where the file system can, so the test needs no 5 GiB of disk.
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = kSize;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);
  }
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  ASSERT_TRUE(fileSystem.ChangeDirectory(Utf8(tree.path())));
  EXPECT_EQ(ListByName(fileSystem, EntryDetails::kSizesAndTimes).at("big.bin").size, kSize);
}

TEST(WindowsFileSystem, KeepsNamesOutsideTheAnsiCodePage) {
  TempDir tree;
  const std::string dirName =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::string fileName = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
  std::filesystem::create_directory(tree.path() / PathOf(dirName));
  TempDir content;
  std::filesystem::copy_file(content.File("x", "abc"),
                             tree.path() / PathOf(dirName) / PathOf(fileName));
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  const std::string top = Utf8(tree.path());
  ASSERT_TRUE(fileSystem.ChangeDirectory(top));
  const auto names = ListByName(fileSystem, EntryDetails::kNamesOnly);
  ASSERT_EQ(names.count(dirName), 1u);
  EXPECT_EQ(names.at(dirName).attr & kAttrDirectory, kAttrDirectory);
  EXPECT_EQ(fileSystem.ExpandPath(dirName), top + "\\" + dirName);

  ASSERT_TRUE(fileSystem.EnterSubdirectory(dirName));
  EXPECT_EQ(Utf8(std::filesystem::current_path()), top + "\\" + dirName);
  EXPECT_EQ(ListByName(fileSystem, EntryDetails::kNamesOnly).count(fileName), 1u);
  EXPECT_NE(fileSystem.OpenTextFile(fileName), nullptr);
  ASSERT_TRUE(fileSystem.ReturnToParent());
  EXPECT_EQ(Utf8(std::filesystem::current_path()), top);
  ASSERT_TRUE(fileSystem.ChangeDirectory(top + "\\" + dirName));
  EXPECT_EQ(Utf8(std::filesystem::current_path()), top + "\\" + dirName);
}

TEST(WindowsFileSystem, KeepsNamesWithUnpairedSurrogates) {
  TempDir tree;
  const std::wstring wide =
      L"lone\xD800"
      L"x";
  if (!CreateDirectoryW((tree.path() / wide).c_str(), nullptr)) {
    GTEST_SKIP() << "this file system refuses names with unpaired surrogates";
  }
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  ASSERT_TRUE(fileSystem.ChangeDirectory(Utf8(tree.path())));
  const std::string name = "lone\xED\xA0\x80x";
  EXPECT_EQ(ListByName(fileSystem, EntryDetails::kNamesOnly).count(name), 1u);
  ASSERT_TRUE(fileSystem.EnterSubdirectory(name));
  EXPECT_EQ(std::filesystem::current_path().filename().wstring(), wide);
  EXPECT_TRUE(fileSystem.ReturnToParent());
}

TEST(WindowsFileSystem, EntersOnlyRealSubdirectoriesAndGoesBackOnlyFromThem) {
  TempDir tree;
  const auto file = tree.File("plain.txt");
  tree.Dir("sub/deeper");
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  const std::string top = Utf8(tree.path());
  EXPECT_FALSE(fileSystem.ChangeDirectory(Utf8(file)));
  EXPECT_FALSE(fileSystem.ChangeDirectory(top + "\\missing"));
  ASSERT_TRUE(fileSystem.ChangeDirectory(top));
  EXPECT_FALSE(fileSystem.ReturnToParent());  // nothing entered yet
  EXPECT_FALSE(fileSystem.EnterSubdirectory("plain.txt"));
  EXPECT_FALSE(fileSystem.EnterSubdirectory("missing"));
  ASSERT_TRUE(fileSystem.EnterSubdirectory("sub"));
  ASSERT_TRUE(fileSystem.EnterSubdirectory("deeper"));
  EXPECT_TRUE(fileSystem.ReturnToParent());
  EXPECT_TRUE(fileSystem.ReturnToParent());
  EXPECT_FALSE(fileSystem.ReturnToParent());
  EXPECT_EQ(Utf8(std::filesystem::current_path()), top);
}

TEST(WindowsFileSystem, MarksBringBackTheirDirectory) {
  TempDir tree;
  const std::string a = Utf8(tree.Dir("a"));
  const std::string b = Utf8(tree.Dir("b"));
  tree.Dir("b/c");
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  ASSERT_TRUE(fileSystem.ChangeDirectory(a));
  const auto current = fileSystem.MarkCurrentDirectory();
  const auto drive = fileSystem.MarkDriveDirectory(a.substr(0, 2));
  // A network path has no drive: its mark is the current directory.
  const auto share = fileSystem.MarkDriveDirectory("\\\\");
  ASSERT_NE(current, nullptr);
  ASSERT_NE(drive, nullptr);
  ASSERT_NE(share, nullptr);
  for (const DirectoryMark* mark : {current.get(), drive.get(), share.get()}) {
    ASSERT_TRUE(fileSystem.ChangeDirectory(b));
    ASSERT_TRUE(fileSystem.EnterSubdirectory("c"));
    EXPECT_TRUE(fileSystem.ReturnTo(*mark));
    EXPECT_EQ(Utf8(std::filesystem::current_path()), a);
    EXPECT_FALSE(fileSystem.ReturnToParent());  // the way back is forgotten
  }
}

TEST(WindowsFileSystem, ADriveThatDoesNotExistHasNoDirectoryToMark) {
  const std::string unused = testing::UnusedDriveLetter();
  ASSERT_FALSE(unused.empty());
  WindowsFileSystem fileSystem;
  EXPECT_EQ(fileSystem.MarkDriveDirectory(unused), nullptr);
}

TEST(WindowsFileSystem, ReadsTextFilesLineByLine) {
  TempDir tree;
  const std::string name = "Liste \xC3\xBC.lst";
  std::filesystem::copy_file(tree.File("x", "one\r\ntwo\n\r\nfour \xE2\x82\xAC"),
                             tree.path() / PathOf(name));
  WindowsFileSystem fileSystem;
  const auto reader = fileSystem.OpenTextFile(Utf8(tree.path()) + "\\" + name);
  ASSERT_NE(reader, nullptr);
  std::vector<std::string> lines;
  while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "four \xE2\x82\xAC"}));
  EXPECT_EQ(fileSystem.OpenTextFile(Utf8(tree.path())), nullptr);  // a directory
  EXPECT_EQ(fileSystem.OpenTextFile(Utf8(tree.path() / "missing.lst")), nullptr);
}

TEST(WindowsOutputStream, WritesUtf8BytesUnchangedWhenNotAConsole) {
  TempDir tree;
  const auto path = tree.path() / "out.txt";
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  {
    WindowsOutputStream stream(file);
    EXPECT_FALSE(stream.IsConsole());
    EXPECT_TRUE(stream.Write("-T[\xC2"));
    EXPECT_TRUE(stream.Write("\xB1]\r\n"));
  }
  CloseHandle(file);
  const auto reader = WindowsFileSystem().OpenTextFile(Utf8(path));
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->ReadLine(), "-T[\xC2\xB1]");
  EXPECT_TRUE(reader->AtEnd());
  EXPECT_EQ(std::filesystem::file_size(path), 8u);
}

TEST(WindowsOutputStream, FailsForGoodAfterAFailedWrite) {
  WindowsOutputStream stream(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(stream.IsConsole());
  EXPECT_FALSE(stream.Write("text"));
  EXPECT_FALSE(stream.Write(""));
}

}  // namespace
}  // namespace zovu
