#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <ctime>

#include "platform/posix/posix_line_reader.h"
#include "platform/posix/posix_paths.h"

namespace zovu {
namespace {

// Parent handles held open at once; deeper levels find their way back through "..".
constexpr std::size_t kHeldParentHandles = 64;
constexpr std::size_t kListingBufferBytes = 64 * 1024;
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

class PosixDirectoryMark final : public DirectoryMark {
 public:
  explicit PosixDirectoryMark(int fd) : fd_(fd) {}
  ~PosixDirectoryMark() override { ::close(fd_); }
  PosixDirectoryMark(const PosixDirectoryMark&) = delete;
  PosixDirectoryMark& operator=(const PosixDirectoryMark&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::uint32_t DosDateTime(time_t when) {
  struct tm local {};
  if (localtime_r(&when, &local) == nullptr || local.tm_year < 80) return 0;
  const auto date = static_cast<std::uint32_t>(((local.tm_year - 80) << 9) |
                                               ((local.tm_mon + 1) << 5) | local.tm_mday);
  const auto time =
      static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return (date << 16) | time;
}

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

}  // namespace

PosixFileSystem::PosixFileSystem() : buffer_(kListingBufferBytes) {}

PosixFileSystem::~PosixFileSystem() {
  ForgetWayBack();
  if (current_ >= 0) ::close(current_);
}

std::string PosixFileSystem::ExpandPath(std::string_view path) {
  std::string cwd;
  if (path.empty() || path.front() != '/') {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
      // Without a known current directory (it was removed), a relative path stays
      // relative rather than silently becoming one below the root.
      if (errno != ERANGE) return std::string(path.empty() ? "." : path);
      buf.resize(buf.size() * 2);
    }
    cwd = buf.data();
  }
  return ExpandPosixPath(cwd, path);
}

void PosixFileSystem::ForgetWayBack() {
  for (const WayBack& way : wayBack_) {
    if (way.fd >= 0) ::close(way.fd);
  }
  wayBack_.clear();
}

bool PosixFileSystem::Fail() {
  exhausted_ = errno == EMFILE || errno == ENFILE || errno == ENOMEM;
  return false;
}

bool PosixFileSystem::ReleaseHeldParents() {
  bool released = false;
  for (WayBack& way : wayBack_) {
    if (way.fd < 0) continue;
    struct stat st {};
    ::fstat(way.fd, &st);
    ::close(way.fd);
    way = {-1, st.st_dev, st.st_ino};
    released = true;
  }
  return released;
}

bool PosixFileSystem::MoveTo(int fd) {
  if (::fchdir(fd) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
  }
  if (current_ >= 0) ::close(current_);
  current_ = fd;
  currentUnread_ = false;
  return true;
}

int PosixFileSystem::CurrentHandle() {
  if (current_ < 0) {
    current_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    currentUnread_ = true;
  }
  return current_;
}

bool PosixFileSystem::ChangeDirectory(std::string_view path) {
  ForgetWayBack();
  // A path with a NUL byte in it (from a list file of junk) names no directory.
  if (path.find('\0') != std::string_view::npos) return false;
  const std::string target(path);
  // The start directory may itself be reached through a link; only the walk below it
  // refuses to follow links.
  const int fd = ::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || !MoveTo(fd)) return Fail();
  currentUnread_ = true;
  return true;
}

bool PosixFileSystem::EnterSubdirectory(std::string_view name) {
  const int parent = CurrentHandle();
  if (parent < 0) return Fail();
  nameBuffer_.assign(name);
  int fd = ::openat(parent, nameBuffer_.c_str(), kDirectoryFlags);
  // Out of file handles: the handles held for the way back make room, and the way back
  // goes through ".." instead.
  if (fd < 0 && (errno == EMFILE || errno == ENFILE) && ReleaseHeldParents()) {
    fd = ::openat(parent, nameBuffer_.c_str(), kDirectoryFlags);
  }
  if (fd < 0) return Fail();
  if (::fchdir(fd) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return Fail();
  }
  if (wayBack_.size() < kHeldParentHandles) {
    wayBack_.push_back({parent, 0, 0});
  } else {
    struct stat st {};
    ::fstat(parent, &st);
    ::close(parent);
    wayBack_.push_back({-1, st.st_dev, st.st_ino});
  }
  current_ = fd;
  currentUnread_ = true;
  return true;
}

bool PosixFileSystem::ReturnToParent() {
  if (wayBack_.empty()) return false;
  const WayBack way = wayBack_.back();
  wayBack_.pop_back();
  if (way.fd >= 0) return MoveTo(way.fd);
  const int fd = ::open("..", kDirectoryFlags);
  if (fd < 0) return Fail();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_dev != way.device || st.st_ino != way.inode) {
    ::close(fd);
    return false;
  }
  return MoveTo(fd);
}

bool PosixFileSystem::ListCurrentDirectory(EntryDetails details, DirectoryListing& out) {
  const int fd = CurrentHandle();
  if (fd < 0) return Fail();
  // A handle listed before must start again from the first entry.
  if (!currentUnread_ && ::lseek(fd, 0, SEEK_SET) < 0) return Fail();
  currentUnread_ = false;
  const bool wantDetails = details != EntryDetails::kNamesOnly;
  const bool wantTimes = details == EntryDetails::kSizesAndTimes;
  for (;;) {
    const ssize_t got = ::getdents64(fd, buffer_.data(), buffer_.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    for (ssize_t pos = 0; pos < got;) {
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer_.data() + pos);
      pos += entry->d_reclen;
      const char* name = entry->d_name;
      unsigned char type = entry->d_type;
      std::int64_t size = 0;
      std::uint32_t time = 0;
      // Most entries need no stat at all; the buffer is set up only for those that do.
      if (type == DT_UNKNOWN || (wantDetails && type != DT_DIR)) {
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
          type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
          if (wantDetails && type != DT_DIR) {
            size = static_cast<std::int64_t>(st.st_size);
            if (wantTimes) time = DosDateTime(st.st_mtime);
          }
        }
      }
      out.Add(name, type == DT_DIR ? kAttrDirectory : 0, size, time);
    }
  }
}

std::unique_ptr<DirectoryMark> PosixFileSystem::MarkDriveDirectory(std::string_view) {
  // Without drives, the drive's directory is the current directory.
  return MarkCurrentDirectory();
}

std::unique_ptr<DirectoryMark> PosixFileSystem::MarkCurrentDirectory() {
  const int fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixDirectoryMark>(fd);
}

bool PosixFileSystem::ReturnTo(const DirectoryMark& mark) {
  ForgetWayBack();
  const int fd = static_cast<const PosixDirectoryMark&>(mark).fd();
  if (::fchdir(fd) != 0) return false;
  if (current_ >= 0) ::close(current_);
  current_ = -1;
  return true;
}

std::unique_ptr<LineReader> PosixFileSystem::OpenTextFile(std::string_view path) {
  return OpenPosixLineReader(path);
}

}  // namespace zovu
