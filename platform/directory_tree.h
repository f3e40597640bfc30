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
  // The listing could not tell whether the entry is a directory; Describe tells.
  bool kindUnknown = false;
  // The details asked for are not in the listing; Describe fetches them.
  bool detailsApart = false;
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

// Where the system answers every request late (a network or user-space file system),
// more requests in flight shorten a walk far past the number of cores.
enum class Latency { kLocal, kSlow };

struct OpenedDirectory {
  OpenedDirectory() = default;
  OpenedDirectory(std::unique_ptr<OpenDirectory> d, OpenOutcome o, std::string r = {})
      : directory(std::move(d)), outcome(o), reason(std::move(r)) {}

  std::unique_ptr<OpenDirectory> directory;  // set when opened
  OpenOutcome outcome = OpenOutcome::kRefused;
  // Why it was not opened, in the system's words: always from OpenStart, and from
  // OpenChild when the outcome is kExhausted.
  std::string reason;
};

// Receives the entries of a listing as they are read, so that a directory of a million
// entries is never held whole.
class ListingSink {
 public:
  virtual ~ListingSink() = default;
  // One entry as the listing gives it; false ends the listing at once (the walk was
  // stopped).
  virtual bool Entry(ListedEntry& entry) = 0;
};

enum class ListOutcome { kComplete, kStopped, kFailed, kExhausted };

struct ListResult {
  ListResult(ListOutcome o, std::string r = {}) : outcome(o), reason(std::move(r)) {}
  ListOutcome outcome;
  std::string reason;  // with kExhausted: what ran short, in the system's words
};

// Lists directories for one thread; its buffers are reused from one directory to the next.
class DirectoryReader {
 public:
  virtual ~DirectoryReader() = default;
  // Hands every entry of directory to sink, "." and ".." included where the system lists
  // them, with what the listing itself tells of the details asked for; an entry marks
  // what only Describe can tell. Symbolic links are entries of their own, never
  // directories. A listing that fails part way ends like one that is complete, with
  // kFailed, or kExhausted when it failed for want of memory.
  virtual ListResult List(const OpenDirectory& directory, EntryDetails details,
                          ListingSink& sink) = 0;
  // Looks entry.name up in directory, without following a link: its directory bit and,
  // for an entry that is not a directory, the details asked for. False when it cannot be
  // looked up. Only called for entries that List marked; a listing that marks none needs
  // no more than this.
  virtual bool Describe(const OpenDirectory& /*directory*/, EntryDetails /*details*/,
                        ListedEntry& /*entry*/) {
    return false;
  }
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
  // How fast the file system of directory answers, as far as the system tells.
  virtual Latency LatencyOf(const OpenDirectory& /*directory*/) { return Latency::kLocal; }
};

}  // namespace zovu
