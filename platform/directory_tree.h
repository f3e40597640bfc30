#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace zovu {

// Attribute bits of a directory entry, with their DOS values.
inline constexpr std::uint16_t kAttrReadOnly = 1;
inline constexpr std::uint16_t kAttrHidden = 2;
inline constexpr std::uint16_t kAttrSystem = 4;
inline constexpr std::uint16_t kAttrVolumeLabel = 8;
inline constexpr std::uint16_t kAttrDirectory = 16;
inline constexpr std::uint16_t kAttrArchive = 32;
inline constexpr std::uint16_t kAttrAnyFile = 63;

// What a listing fills in besides names and the directory bit. Sizes cost a metadata
// call per file on some systems, and times a conversion to local time on top, so each
// is fetched only when asked for. kDiskUsage: the size is the bytes allocated on disk,
// with the file's identity and its number of links.
enum class EntryDetails { kNamesOnly, kSizes, kSizesAndTimes, kDiskUsage };

// One entry of a directory as a listing delivers it.
struct ListedEntry {
  std::string_view name;  // valid only during the call that hands it over
  std::uint32_t attr = 0;
  std::int64_t size = 0;    // filled when sizes are asked for
  std::uint32_t time = 0;   // local last-write time as a DOS date (high) and time (low)
  std::uint64_t inode = 0;  // the entry's inode as the listing gives it; 0 where none
  // With kDiskUsage: the file's device, its inode there, and its number of links.
  std::uint64_t device = 0;
  std::uint32_t links = 1;
};

// A directory opened for a walk: a handle on POSIX, a path on Windows. Subdirectories
// are opened relative to it, never through the current directory.
class OpenDirectory {
 public:
  virtual ~OpenDirectory() = default;
};

// Who an open directory is: its device, and its inode there.
struct DirectoryIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const DirectoryIdentity&) const = default;
};

enum class OpenOutcome {
  kOpened,
  kRefused,    // not there, not a directory, a link, or not to be entered: skipped quietly
  kExhausted,  // out of file handles or memory: skipping it makes the count short
};

struct OpenedDirectory {
  OpenedDirectory() = default;
  OpenedDirectory(std::unique_ptr<OpenDirectory> d, OpenOutcome o, std::string r = {})
      : directory(std::move(d)), outcome(o), reason(std::move(r)) {}

  std::unique_ptr<OpenDirectory> directory;  // set when opened
  OpenOutcome outcome = OpenOutcome::kRefused;
  std::string reason;  // OpenStart only: why it was not opened, in the system's words
};

// Receives the entries of a listing as they are read, so that a directory of a million
// entries is never held whole. Each entry is first considered by its name and directory
// bit alone, so that no details are fetched for an entry that is not wanted.
class ListingSink {
 public:
  enum class Verdict { kTake, kSkip, kStop };
  virtual ~ListingSink() = default;
  // Asked with the name, the directory bit and the inode only; kStop ends the listing at
  // once (the walk was stopped).
  virtual Verdict Consider(const ListedEntry& entry) = 0;
  // An entry that Consider took, with the details asked for.
  virtual void Take(const ListedEntry& entry) = 0;
};

enum class ListOutcome { kComplete, kStopped, kFailed, kExhausted };

// Lists directories for one thread; its buffers are reused from one directory to the next.
class DirectoryReader {
 public:
  virtual ~DirectoryReader() = default;
  // Hands every entry of directory to sink, "." and ".." included where the system lists
  // them. Symbolic links are entries of their own, never directories. A listing that fails
  // part way ends like one that is complete, with kFailed, or kExhausted when it failed
  // for want of memory.
  virtual ListOutcome List(const OpenDirectory& directory, EntryDetails details,
                           ListingSink& sink) = 0;
};

struct HandlePlan {
  std::size_t threads;  // walking threads, fewer than asked where handles are scarce
  // Directories that may stay open for their pending subdirectories; past that, a
  // pending subdirectory is reopened by its path from the start. SIZE_MAX where an open
  // directory costs the system nothing.
  std::size_t heldDirectories;
  // Directories each thread may keep open after listing them, so that a subdirectory
  // left for the same thread is opened from its parent, not reached again by its path.
  std::size_t keptPerThread = 0;
};

// The directory services of a walk. Every call may be made from several threads at once.
class DirectoryTree {
 public:
  virtual ~DirectoryTree() = default;
  // Opens the directory where a walk starts; it may itself be reached through a link,
  // and its path may be longer than the system takes in one piece.
  virtual OpenedDirectory OpenStart(std::string_view path) = 0;
  // Opens the subdirectory name of parent without following a link. A directory that may
  // be listed but not entered (searched) is refused like one that may not be opened.
  virtual OpenedDirectory OpenChild(const OpenDirectory& parent, std::string_view name) = 0;
  // Who an open directory is; nothing where the system cannot tell.
  virtual DirectoryIdentity Identify(const OpenDirectory& directory) = 0;
  virtual std::unique_ptr<DirectoryReader> NewReader() = 0;
  // How a walk that asks for this many threads fits the system's limit on open handles.
  virtual HandlePlan PlanHandles(std::size_t threads) = 0;
};

}  // namespace zovu
