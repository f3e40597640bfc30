#include "platform/posix/posix_directory_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#if defined(__linux__) && !defined(ZOVU_PORTABLE_POSIX)
#define ZOVU_LIST_WITH_GETDENTS 1
#include <sys/vfs.h>
#endif

namespace zovu {
namespace {

constexpr int kStartFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kChildFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

class PosixOpenDirectory final : public OpenDirectory {
 public:
  explicit PosixOpenDirectory(int fd) : fd_(fd) {}
  ~PosixOpenDirectory() override { ::close(fd_); }
  PosixOpenDirectory(const PosixOpenDirectory&) = delete;
  PosixOpenDirectory& operator=(const PosixOpenDirectory&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool OutOfResources(int error) {
  return error == EMFILE || error == ENFILE || error == ENOMEM;
}

OpenedDirectory Failed(int error) {
  OpenedDirectory failed;
  failed.outcome = OutOfResources(error) ? OpenOutcome::kExhausted : OpenOutcome::kRefused;
  if (failed.outcome == OpenOutcome::kExhausted) {
    failed.reason = std::generic_category().message(error);
  }
  return failed;
}

// A name as the system takes it: ended by a NUL byte, copied only where it is long.
class TerminatedName {
 public:
  explicit TerminatedName(std::string_view name) {
    if (name.size() < sizeof buffer_) {
      std::memcpy(buffer_, name.data(), name.size());
      buffer_[name.size()] = '\0';
    } else {
      long_.assign(name);
      text_ = long_.c_str();
    }
  }
  TerminatedName(const TerminatedName&) = delete;
  TerminatedName& operator=(const TerminatedName&) = delete;
  const char* c_str() const { return text_; }

 private:
  char buffer_[256];
  std::string long_;
  const char* text_ = buffer_;
};

// Root may search every directory; anyone else finds out by looking up "." in it, which
// fails unless the directory may be searched, as entering it would.
const bool kSearchesEverything = ::geteuid() == 0;

// A directory that may be listed but not entered is skipped like one that may not be
// opened at all.
OpenedDirectory Opened(int fd, bool checkSearch) {
  struct stat st {};
  if (checkSearch && ::fstatat(fd, ".", &st, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    ::close(fd);
    return Failed(error);
  }
  OpenedDirectory opened;
  opened.directory = std::make_unique<PosixOpenDirectory>(fd);
  opened.outcome = OpenOutcome::kOpened;
  return opened;
}

// A path too long for the system to take whole is opened one component at a time.
int OpenByComponents(const std::string& path) {
  int fd = ::open(path.front() == '/' ? "/" : ".", kStartFlags);
  std::size_t pos = 0;
  while (fd >= 0 && pos < path.size()) {
    const std::size_t end = std::min(path.find('/', pos), path.size());
    if (end > pos) {
      const std::string component = path.substr(pos, end - pos);
      const int next = ::openat(fd, component.c_str(), kStartFlags);
      const int error = errno;
      ::close(fd);
      errno = error;
      fd = next;
    }
    pos = end + 1;
  }
  return fd;
}

std::uint32_t DosDateTime(time_t when) {
  struct tm local {};
  if (localtime_r(&when, &local) == nullptr || local.tm_year < 80) return 0;
  const auto date = static_cast<std::uint32_t>(((local.tm_year - 80) << 9) |
                                               ((local.tm_mon + 1) << 5) | local.tm_mday);
  const auto time =
      static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return (date << 16) | time;
}

// What a listing tells of an entry's type: whether it is a directory, or nothing.
#ifdef DT_DIR
constexpr unsigned kTypeDirectory = DT_DIR;
constexpr unsigned kTypeUnknown = DT_UNKNOWN;
#else
constexpr unsigned kTypeDirectory = 4;
constexpr unsigned kTypeUnknown = 0;
#endif

// Fills entry from a metadata call on its name: the directory bit, and for anything but
// a directory the details asked for.
bool DescribeByName(const OpenDirectory& directory, EntryDetails details, ListedEntry& entry) {
  struct stat st {};
  const int dirFd = static_cast<const PosixOpenDirectory&>(directory).fd();
  if (::fstatat(dirFd, TerminatedName(entry.name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  entry.kindUnknown = false;
  entry.detailsApart = false;
  entry.attr = S_ISDIR(st.st_mode) ? kAttrDirectory : 0;
  if (details == EntryDetails::kNamesOnly || S_ISDIR(st.st_mode)) return true;
  entry.size = static_cast<std::int64_t>(st.st_size);
  if (details == EntryDetails::kSizesAndTimes) entry.time = DosDateTime(st.st_mtime);
  if (details == EntryDetails::kDiskUsage) {
    // Blocks of 512 bytes, whatever the file system's own block size.
    entry.size = static_cast<std::int64_t>(st.st_blocks) * 512;
    entry.device = static_cast<std::uint64_t>(st.st_dev);
    entry.inode = static_cast<std::uint64_t>(st.st_ino);
    entry.links = static_cast<std::uint32_t>(st.st_nlink);
  }
  return true;
}

// Hands one listed entry to the sink with what the listing told of it: details always
// take a metadata call of their own, which the sink makes only for the entries it keeps.
bool HandOver(const char* name, std::uint64_t inode, unsigned type, EntryDetails details,
              ListingSink& sink) {
  ListedEntry entry;
  entry.name = name;
  entry.inode = inode;
  entry.kindUnknown = type == kTypeUnknown;
  entry.attr = type == kTypeDirectory ? kAttrDirectory : 0;
  entry.detailsApart = details != EntryDetails::kNamesOnly && type != kTypeDirectory;
  return sink.Entry(entry);
}

ListResult ListFailed(int error) {
  if (!OutOfResources(error)) return ListOutcome::kFailed;
  return {ListOutcome::kExhausted, std::generic_category().message(error)};
}

#ifdef ZOVU_LIST_WITH_GETDENTS
struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

// Reads names straight from the kernel into a buffer that is reused for every directory.
class GetdentsReader final : public DirectoryReader {
 public:
  ListResult List(const OpenDirectory& directory, EntryDetails details,
                  ListingSink& sink) override {
    const int fd = static_cast<const PosixOpenDirectory&>(directory).fd();
    for (;;) {
      const ssize_t got = ::getdents64(fd, buffer_.get(), kBufferSize);
      if (got == 0) return ListOutcome::kComplete;
      if (got < 0) {
        if (errno == EINTR) continue;
        return ListFailed(errno);
      }
      for (ssize_t pos = 0; pos < got;) {
        const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer_.get() + pos);
        pos += entry->d_reclen;
        if (!HandOver(entry->d_name, entry->d_ino, entry->d_type, details, sink)) {
          return ListOutcome::kStopped;
        }
      }
    }
  }

  bool Describe(const OpenDirectory& directory, EntryDetails details, ListedEntry& entry) override {
    return DescribeByName(directory, details, entry);
  }

 private:
  static constexpr std::size_t kBufferSize = 32 * 1024;
  // Left as it comes: the kernel writes what is read, and zeroing it costs a short run
  // more than its listing.
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
};
using PosixReader = GetdentsReader;
#else
unsigned TypeOf([[maybe_unused]] const struct dirent& entry) {
#ifdef DT_DIR
  return entry.d_type;
#else
  return kTypeUnknown;
#endif
}

// The listing every POSIX system has.
class ReaddirReader final : public DirectoryReader {
 public:
  ListResult List(const OpenDirectory& directory, EntryDetails details,
                  ListingSink& sink) override {
    const int fd = static_cast<const PosixOpenDirectory&>(directory).fd();
    // The stream takes a handle of its own, so the directory stays open for its children.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return ListFailed(errno);
    DIR* stream = ::fdopendir(own);
    if (stream == nullptr) {
      const int error = errno;
      ::close(own);
      return ListFailed(error);
    }
    ListResult outcome = ListOutcome::kComplete;
    for (;;) {
      errno = 0;
      const struct dirent* entry = ::readdir(stream);
      if (entry == nullptr) {
        if (errno != 0) outcome = ListFailed(errno);
        break;
      }
      if (!HandOver(entry->d_name, entry->d_ino, TypeOf(*entry), details, sink)) {
        outcome = ListOutcome::kStopped;
        break;
      }
    }
    ::closedir(stream);
    return outcome;
  }
  bool Describe(const OpenDirectory& directory, EntryDetails details, ListedEntry& entry) override {
    return DescribeByName(directory, details, entry);
  }
};
using PosixReader = ReaddirReader;
#endif

// Why the start could not be opened, in the system's words.
OpenedDirectory StartFailed(int error) {
  OpenedDirectory failed = Failed(error);
  failed.reason = std::generic_category().message(error);
  return failed;
}

}  // namespace

OpenedDirectory OpenPosixStart(std::string_view path) {
  // A path with a NUL byte in it (from a list file of junk) names no directory.
  if (path.empty() || path.find('\0') != std::string_view::npos) return StartFailed(ENOENT);
  const std::string target(path);
  int fd = ::open(target.c_str(), kStartFlags);
  if (fd < 0 && errno == ENAMETOOLONG) fd = OpenByComponents(target);
  if (fd < 0) return StartFailed(errno);
  // A directory that may be listed but not entered is not entered.
  struct stat st {};
  if (::fstatat(fd, ".", &st, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    ::close(fd);
    return StartFailed(error);
  }
  return Opened(fd, false);
}

OpenedDirectory OpenPosixChild(const OpenDirectory& parent, std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return Failed(ENOENT);
  const int parentFd = static_cast<const PosixOpenDirectory&>(parent).fd();
  const int fd = ::openat(parentFd, TerminatedName(name).c_str(), kChildFlags);
  if (fd < 0) return Failed(errno);
  return Opened(fd, !kSearchesEverything);
}

DirectoryIdentity IdentifyPosixDirectory(const OpenDirectory& directory) {
  struct stat st {};
  if (::fstat(static_cast<const PosixOpenDirectory&>(directory).fd(), &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::unique_ptr<DirectoryReader> NewPosixDirectoryReader() {
  return std::make_unique<PosixReader>();
}

Latency PosixLatencyOf([[maybe_unused]] const OpenDirectory& directory) {
#ifdef ZOVU_LIST_WITH_GETDENTS
  // File systems whose every request may cross a network or a user-space server.
  constexpr unsigned long kSlowTypes[] = {
      0x6969,      // NFS
      0x517B,      // SMB
      0xFF534D42,  // CIFS
      0xFE534D42,  // SMB2
      0x01021997,  // 9P
      0x65735546,  // FUSE
      0x00C36400,  // Ceph
      0x5346414F,  // AFS
      0x6B414653,  // kAFS
      0x73757245,  // Coda
  };
  struct statfs info {};
  if (::fstatfs(static_cast<const PosixOpenDirectory&>(directory).fd(), &info) != 0) {
    return Latency::kLocal;
  }
  const auto type = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
  for (const unsigned long slow : kSlowTypes) {
    if (type == slow) return Latency::kSlow;
  }
#endif
  return Latency::kLocal;
}

HandlePlan PlanPosixHandles(std::size_t threads) {
  // Handles a walk needs besides the held directories: the standard streams, the terminal,
  // the start directory and some spare; per thread the directory it lists, the way down to
  // one that is reopened by its path and a listing's own handle; and the directories a
  // thread keeps open for the subdirectories it walks next.
  constexpr std::size_t kFixed = 8;
  constexpr std::size_t kPerThread = 4;
  constexpr std::size_t kKept = 2;
  constexpr std::size_t kMostHeld = 4096;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return {threads, kMostHeld, kKept};
  }
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t room = allowed > kFixed ? allowed - kFixed : 0;
  // Where handles are scarce, fewer threads walk, and at least half of the room is left to
  // held directories: a reopen then starts close to where it is going.
  const std::size_t fitting =
      std::max<std::size_t>(1, std::min(threads, room / (2 * (kPerThread + kKept))));
  const std::size_t perThread = room >= kPerThread + kKept ? kPerThread + kKept : kPerThread;
  const std::size_t left = room > perThread * fitting ? room - perThread * fitting : 0;
  return {fitting, std::min(kMostHeld, left), perThread - kPerThread};
}

}  // namespace zovu
