#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/second_drive_windows.h"
#include "common/temp_dir.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_output_stream.h"
#include "search/tree_walk.h"
#include "unit/walk_rig.h"

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

// Every entry of a listing by name; the names are copied, as the listing's views of them
// last only for the call.
class CollectingSink final : public ListingSink {
 public:
  bool Entry(ListedEntry& entry) override {
    ListedEntry kept = entry;
    kept.name = {};
    byName.emplace(entry.name, kept);
    return true;
  }
  std::map<std::string, ListedEntry> byName;
};

std::map<std::string, ListedEntry> ListByName(FileSystem& fileSystem,
                                              const OpenDirectory& directory,
                                              EntryDetails details) {
  CollectingSink sink;
  EXPECT_EQ(fileSystem.NewReader()->List(directory, details, sink).outcome, ListOutcome::kComplete);
  return std::move(sink.byName);
}

// The directory that an open call gave, or null (with a failure) when it was not opened.
std::unique_ptr<OpenDirectory> Opened(OpenedDirectory opened) {
  EXPECT_EQ(opened.outcome, OpenOutcome::kOpened);
  return std::move(opened.directory);
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
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);

  const auto detailed = ListByName(fileSystem, *top, EntryDetails::kSizesAndTimes);
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

  const auto sizesOnly = ListByName(fileSystem, *top, EntryDetails::kSizes);
  EXPECT_EQ(sizesOnly.at("plain.txt").size, 5);
  EXPECT_EQ(sizesOnly.at("plain.txt").time, 0u);

  const auto namesOnly = ListByName(fileSystem, *top, EntryDetails::kNamesOnly);
  ASSERT_EQ(namesOnly.size(), 5u);
  EXPECT_EQ(namesOnly.at("plain.txt").size, 0);
  EXPECT_EQ(namesOnly.at("plain.txt").time, 0u);
  EXPECT_EQ(namesOnly.at("h.txt").attr & kBits, kAttrReadOnly | kAttrHidden);
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Counts the entries it is given, and ends the listing after the first when told to.
class CountingSink final : public ListingSink {
 public:
  explicit CountingSink(bool stop) : stop_(stop) {}
  bool Entry(ListedEntry&) override {
    ++given;
    return !stop_;
  }
  int given = 0;

 private:
  bool stop_;
};

TEST(WindowsFileSystem, ListsEveryEntryAndEndsTheListingWhenTheSinkStops) {
  TempDir tree;
  tree.File("a.txt");
  tree.File("b.txt");
  tree.File("c.txt");
  WindowsFileSystem fileSystem;
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);
  const auto reader = fileSystem.NewReader();

  CountingSink every(false);
  EXPECT_EQ(reader->List(*top, EntryDetails::kSizes, every).outcome, ListOutcome::kComplete);
  EXPECT_EQ(every.given, 5);  // with "." and ".."

  CountingSink stopping(true);
  EXPECT_EQ(reader->List(*top, EntryDetails::kSizes, stopping).outcome, ListOutcome::kStopped);
  EXPECT_EQ(stopping.given, 1);
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
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(ListByName(fileSystem, *top, EntryDetails::kSizesAndTimes).at("big.bin").size, kSize);
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
  const auto topDir = Opened(fileSystem.OpenStart(top));
  ASSERT_NE(topDir, nullptr);
  const auto names = ListByName(fileSystem, *topDir, EntryDetails::kNamesOnly);
  ASSERT_EQ(names.count(dirName), 1u);
  EXPECT_EQ(names.at(dirName).attr & kAttrDirectory, kAttrDirectory);
  EXPECT_EQ(fileSystem.ExpandPath(dirName), top + "\\" + dirName);

  // Reached from its parent and as a start of its own.
  const auto child = Opened(fileSystem.OpenChild(*topDir, dirName));
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(ListByName(fileSystem, *child, EntryDetails::kNamesOnly).count(fileName), 1u);
  const auto start = Opened(fileSystem.OpenStart(top + "\\" + dirName));
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(ListByName(fileSystem, *start, EntryDetails::kNamesOnly).count(fileName), 1u);
  EXPECT_NE(fileSystem.OpenTextFile(top + "\\" + dirName + "\\" + fileName).reader, nullptr);
}

TEST(WindowsFileSystem, KeepsNamesWithUnpairedSurrogates) {
  TempDir tree;
  const std::wstring wide =
      L"lone\xD800"
      L"x";
  if (!CreateDirectoryW((tree.path() / wide).c_str(), nullptr)) {
    GTEST_SKIP() << "this file system refuses names with unpaired surrogates";
  }
  const HANDLE inside = CreateFileW((tree.path() / wide / L"in.txt").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(inside, INVALID_HANDLE_VALUE);
  CloseHandle(inside);
  WindowsFileSystem fileSystem;
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);
  const std::string name = "lone\xED\xA0\x80x";
  EXPECT_EQ(ListByName(fileSystem, *top, EntryDetails::kNamesOnly).count(name), 1u);
  const auto child = Opened(fileSystem.OpenChild(*top, name));
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(ListByName(fileSystem, *child, EntryDetails::kNamesOnly).count("in.txt"), 1u);
}

TEST(WindowsFileSystem, OpensOnlyRealDirectoriesAndNeverChangesTheCurrentDirectory) {
  TempDir tree;
  const auto file = tree.File("plain.txt");
  tree.File("sub/deeper/leaf.txt");
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(tree.path());
  const std::string top = Utf8(tree.path());
  EXPECT_EQ(fileSystem.OpenStart(Utf8(file)).outcome, OpenOutcome::kRefused);
  EXPECT_EQ(fileSystem.OpenStart(top + "\\missing").outcome, OpenOutcome::kRefused);
  EXPECT_EQ(fileSystem.OpenStart("").outcome, OpenOutcome::kRefused);
  const auto topDir = Opened(fileSystem.OpenStart(top));
  ASSERT_NE(topDir, nullptr);
  EXPECT_EQ(fileSystem.OpenChild(*topDir, "plain.txt").outcome, OpenOutcome::kRefused);
  EXPECT_EQ(fileSystem.OpenChild(*topDir, "missing").outcome, OpenOutcome::kRefused);
  EXPECT_EQ(fileSystem.OpenChild(*topDir, "*").outcome, OpenOutcome::kRefused);
  const auto sub = Opened(fileSystem.OpenChild(*topDir, "sub"));
  ASSERT_NE(sub, nullptr);
  const auto deeper = Opened(fileSystem.OpenChild(*sub, "deeper"));
  ASSERT_NE(deeper, nullptr);
  EXPECT_EQ(ListByName(fileSystem, *deeper, EntryDetails::kNamesOnly).count("leaf.txt"), 1u);
  EXPECT_EQ(Utf8(std::filesystem::current_path()), top);
}

TEST(WindowsFileSystem, OpensDirectoriesWhoseNamesEndInADotOrABlank) {
  TempDir tree;
  WindowsFileSystem fileSystem;
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);
  for (const std::string name : {"dot.", "blank "}) {
    // Only the "\\?\" form of a path keeps such a name whole, to make it and to remove it.
    struct Made {
      std::wstring dir;
      std::wstring file = dir + L"\\in.txt";
      ~Made() {
        DeleteFileW(file.c_str());
        RemoveDirectoryW(dir.c_str());
      }
    } made{L"\\\\?\\" + (tree.path() / name).wstring()};
    ASSERT_TRUE(CreateDirectoryW(made.dir.c_str(), nullptr)) << name;
    const HANDLE file = CreateFileW(made.file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    CloseHandle(file);
    const auto child = Opened(fileSystem.OpenChild(*top, name));
    ASSERT_NE(child, nullptr) << name;
    EXPECT_EQ(ListByName(fileSystem, *child, EntryDetails::kNamesOnly).count("in.txt"), 1u) << name;
  }
}

// A chain of directories with a file in each, whose deepest paths are longer than Wine can
// hand to its host system (about 4,096 bytes). No path that long can make it, so it is made
// with short names that are then made long, deepest first: each rename's own path stays
// short while the levels above it are. It is given its short names back before removal.
class LongPathChain {
 public:
  static constexpr int kLevels = 20;
  explicit LongPathChain(const std::filesystem::path& top) : top_(top) {
    for (int level = 1; level <= kLevels; ++level) {
      std::filesystem::create_directory(ShortPath(level));
      std::ofstream(ShortPath(level) / "f.txt").put('x');
    }
    for (renamed_ = kLevels + 1; renamed_ > 1; --renamed_) {
      const std::filesystem::path from = ShortPath(renamed_ - 1);
      if (!MoveFileW(from.c_str(), (from.parent_path() / LongName()).c_str())) break;
    }
  }
  ~LongPathChain() {
    for (; renamed_ <= kLevels; ++renamed_) {
      const std::filesystem::path to = ShortPath(renamed_);
      MoveFileW((to.parent_path() / LongName()).c_str(), to.c_str());
    }
  }
  LongPathChain(const LongPathChain&) = delete;
  LongPathChain& operator=(const LongPathChain&) = delete;

 private:
  // The path of a level while it and every level above it have their short names.
  std::filesystem::path ShortPath(int level) const {
    std::filesystem::path path = top_;
    for (int i = 0; i < level; ++i) path /= "d";
    return path;
  }
  static std::wstring LongName() { return std::wstring(240, L'n'); }

  std::filesystem::path top_;
  int renamed_;  // the shallowest level with its long name; kLevels + 1 for none
};

TEST(WindowsWalk, ADirectoryTooDeepForThePathLimitIsNeverLeftOutSilently) {
  TempDir tree;
  const LongPathChain chain(tree.path());
  WindowsFileSystem fileSystem;
  testing::QuietWatcher watcher;
  testing::RecordingCallbacks callbacks;
  const WalkResult walked = WalkTree(fileSystem, Utf8(tree.path()), MaskList("*.*"),
                                     testing::Options(true), callbacks, watcher);
  // Every level's directory and file, unless the walk tells that some were out of reach.
  EXPECT_TRUE(walked.entries == 2 * LongPathChain::kLevels || walked.errors) << walked.entries;
}

// A directory junction (mount point) to target, made the way the system's own tools make
// one: a reparse point whose data holds the target's path twice, as the system reads it and
// as it is shown.
bool MakeJunction(const std::filesystem::path& junction, const std::filesystem::path& target) {
  if (!CreateDirectoryW(junction.c_str(), nullptr)) return false;
  const std::wstring substitute = L"\\??\\" + target.wstring();
  const std::wstring print = target.wstring();
  const auto bytes = [](std::size_t chars) { return static_cast<WORD>(chars * sizeof(wchar_t)); };
  // The tag, the data's length and a reserved word; then the paths' offsets and lengths.
  constexpr std::size_t kHeader = 8;
  constexpr std::size_t kOffsets = 8;
  const WORD data = static_cast<WORD>(kOffsets + bytes(substitute.size() + print.size() + 2));
  std::vector<unsigned char> buffer(kHeader + data);
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  const WORD fields[] = {
      data, 0, 0, bytes(substitute.size()), bytes(substitute.size() + 1), bytes(print.size())};
  std::memcpy(buffer.data(), &tag, sizeof tag);
  std::memcpy(buffer.data() + sizeof tag, fields, sizeof fields);
  unsigned char* paths = buffer.data() + kHeader + kOffsets;
  std::memcpy(paths, substitute.c_str(), bytes(substitute.size() + 1));
  std::memcpy(paths + bytes(substitute.size() + 1), print.c_str(), bytes(print.size() + 1));
  const HANDLE handle =
      CreateFileW(junction.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD ignored = 0;
  const bool made =
      DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                      static_cast<DWORD>(buffer.size()), nullptr, 0, &ignored, nullptr) != 0;
  CloseHandle(handle);
  return made;
}

TEST(WindowsFileSystem, ListsLinksAndJunctionsAsEntriesAndNeverOpensThem) {
  TempDir tree;
  const auto target = tree.Dir("target");
  tree.File("target/inside.txt");
  CreateSymbolicLinkW((tree.path() / "link").c_str(), target.c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  MakeJunction(tree.path() / "junction", target);
  // Some systems answer that they made a link and make none.
  std::vector<std::string> links;
  for (const char* link : {"link", "junction"}) {
    const DWORD attr = GetFileAttributesW((tree.path() / link).c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      links.emplace_back(link);
    }
  }
  if (links.empty()) GTEST_SKIP() << "this system lets the test make neither links nor junctions";
  WindowsFileSystem fileSystem;
  const auto top = Opened(fileSystem.OpenStart(Utf8(tree.path())));
  ASSERT_NE(top, nullptr);
  const auto names = ListByName(fileSystem, *top, EntryDetails::kNamesOnly);
  EXPECT_EQ(names.at("target").attr & kAttrDirectory, kAttrDirectory);
  for (const std::string& link : links) {
    ASSERT_EQ(names.count(link), 1u) << link;
    EXPECT_EQ(names.at(link).attr & kAttrDirectory, 0u) << link;
    EXPECT_EQ(fileSystem.OpenChild(*top, link).outcome, OpenOutcome::kRefused) << link;
    // A start may be a link: only the walk below it refuses them.
    const auto start = Opened(fileSystem.OpenStart(Utf8(tree.path() / link)));
    ASSERT_NE(start, nullptr) << link;
    EXPECT_EQ(ListByName(fileSystem, *start, EntryDetails::kNamesOnly).count("inside.txt"), 1u);
    RemoveDirectoryW((tree.path() / link).c_str());  // the link, not what it points to
  }
}

TEST(WindowsFileSystem, MarksBringBackTheirDirectory) {
  TempDir tree;
  const std::string a = Utf8(tree.Dir("a"));
  const auto elsewhere = tree.Dir("b/c");
  WindowsFileSystem fileSystem;
  CurrentDirScope keep(a);
  const auto current = fileSystem.MarkCurrentDirectory();
  const auto drive = fileSystem.MarkDriveDirectory(a.substr(0, 2));
  // A network path has no drive: its mark is the current directory.
  const auto share = fileSystem.MarkDriveDirectory("\\\\");
  ASSERT_NE(current, nullptr);
  ASSERT_NE(drive, nullptr);
  ASSERT_NE(share, nullptr);
  for (const DirectoryMark* mark : {current.get(), drive.get(), share.get()}) {
    std::filesystem::current_path(elsewhere);
    EXPECT_TRUE(fileSystem.ReturnTo(*mark));
    EXPECT_EQ(Utf8(std::filesystem::current_path()), a);
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
  const auto reader = fileSystem.OpenTextFile(Utf8(tree.path()) + "\\" + name).reader;
  ASSERT_NE(reader, nullptr);
  std::vector<std::string> lines;
  while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "four \xE2\x82\xAC"}));
  EXPECT_EQ(fileSystem.OpenTextFile(Utf8(tree.path())).reader, nullptr);  // a directory
  EXPECT_EQ(fileSystem.OpenTextFile(Utf8(tree.path() / "missing.lst")).reader, nullptr);
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
  const auto reader = WindowsFileSystem().OpenTextFile(Utf8(path)).reader;
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
