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
#include <string>
#include <system_error>
#include <vector>

#if defined(__linux__) && !defined(ZOVU_PORTABLE_POSIX)
#define ZOVU_LIST_WITH_GETDENTS 1
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
  return failed;
}

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

enum class Kind { kDirectory, kOther, kUnknown };

// Hands one listed entry to the sink, with a metadata call only where the type is unknown
// or details are wanted for an entry the sink took. False when the sink stops the listing.
bool HandOver(int dirFd, const char* name, std::uint64_t inode, Kind kind, EntryDetails details,
              ListingSink& sink) {
  // Filled by the metadata call where one is made; not set up for the other entries.
  struct stat st;
  bool statted = false;
  if (kind == Kind::kUnknown) {
    statted = ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    kind = statted && S_ISDIR(st.st_mode) ? Kind::kDirectory : Kind::kOther;
  }
  ListedEntry entry;
  entry.name = name;
  entry.attr = kind == Kind::kDirectory ? kAttrDirectory : 0;
  entry.inode = inode;
  switch (sink.Consider(entry)) {
    case ListingSink::Verdict::kStop:
      return false;
    case ListingSink::Verdict::kSkip:
      return true;
    case ListingSink::Verdict::kTake:
      break;
  }
  if (details != EntryDetails::kNamesOnly && kind != Kind::kDirectory &&
      (statted || ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)) {
    entry.size = static_cast<std::int64_t>(st.st_size);
    if (details == EntryDetails::kSizesAndTimes) entry.time = DosDateTime(st.st_mtime);
    if (details == EntryDetails::kDiskUsage) {
      // Blocks of 512 bytes, whatever the file system's own block size.
      entry.size = static_cast<std::int64_t>(st.st_blocks) * 512;
      entry.device = static_cast<std::uint64_t>(st.st_dev);
      entry.inode = static_cast<std::uint64_t>(st.st_ino);
      entry.links = static_cast<std::uint32_t>(st.st_nlink);
    }
  }
  sink.Take(entry);
  return true;
}

ListOutcome ListFailed(int error) {
  return OutOfResources(error) ? ListOutcome::kExhausted : ListOutcome::kFailed;
}

#ifdef ZOVU_LIST_WITH_GETDENTS
struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

Kind KindOf(unsigned char type) {
  if (type == DT_DIR) return Kind::kDirectory;
  return type == DT_UNKNOWN ? Kind::kUnknown : Kind::kOther;
}

// Reads names straight from the kernel into a buffer that is reused for every directory.
class GetdentsReader final : public DirectoryReader {
 public:
  ListOutcome List(const OpenDirectory& directory, EntryDetails details,
                   ListingSink& sink) override {
    const int fd = static_cast<const PosixOpenDirectory&>(directory).fd();
    for (;;) {
      const ssize_t got = ::getdents64(fd, buffer_.data(), buffer_.size());
      if (got == 0) return ListOutcome::kComplete;
      if (got < 0) {
        if (errno == EINTR) continue;
        return ListFailed(errno);
      }
      for (ssize_t pos = 0; pos < got;) {
        const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer_.data() + pos);
        pos += entry->d_reclen;
        if (!HandOver(fd, entry->d_name, entry->d_ino, KindOf(entry->d_type), details, sink)) {
          return ListOutcome::kStopped;
        }
      }
    }
  }

 private:
  std::vector<char> buffer_ = std::vector<char>(32 * 1024);
};
using PosixReader = GetdentsReader;
#else
Kind KindOf([[maybe_unused]] const struct dirent& entry) {
#ifdef DT_DIR
  if (entry.d_type == DT_DIR) return Kind::kDirectory;
  if (entry.d_type != DT_UNKNOWN) return Kind::kOther;
#endif
  return Kind::kUnknown;
}

// The listing every POSIX system has.
class ReaddirReader final : public DirectoryReader {
 public:
  ListOutcome List(const OpenDirectory& directory, EntryDetails details,
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
    ListOutcome outcome = ListOutcome::kComplete;
    for (;;) {
      errno = 0;
      const struct dirent* entry = ::readdir(stream);
      if (entry == nullptr) {
        if (errno != 0) outcome = ListFailed(errno);
        break;
      }
      if (!HandOver(fd, entry->d_name, entry->d_ino, KindOf(*entry), details, sink)) {
        outcome = ListOutcome::kStopped;
        break;
      }
    }
    ::closedir(stream);
    return outcome;
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
  char buffer[256];
  std::string longName;
  const char* terminated = buffer;
  if (name.size() < sizeof buffer) {
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
  } else {
    longName.assign(name);
    terminated = longName.c_str();
  }
  const int fd = ::openat(parentFd, terminated, kChildFlags);
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
