#include "platform/posix/posix_block_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace zovu {
namespace {

// A write past the file-size limit (ulimit -f) raises SIGXFSZ, which by default ends the
// process halfway through the block. Ignored while the write lasts, it only makes the
// write fail, and the caller can put the file back as it was.
class FileSizeSignalIgnored {
 public:
  FileSizeSignalIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ignoring_ = ::sigaction(SIGXFSZ, &ignore, &previous_) == 0;
  }
  ~FileSizeSignalIgnored() {
    if (ignoring_) ::sigaction(SIGXFSZ, &previous_, nullptr);
  }
  FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
  FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

 private:
  struct sigaction previous_ {};
  bool ignoring_ = false;
};

class PosixBlockFile final : public BlockFile {
 public:
  PosixBlockFile(int fd, std::string path, bool created)
      : fd_(fd), path_(std::move(path)), created_(created) {}
  ~PosixBlockFile() override { Close(); }
  PosixBlockFile(const PosixBlockFile&) = delete;
  PosixBlockFile& operator=(const PosixBlockFile&) = delete;

  std::optional<std::int64_t> Size() override {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_size);
  }

  bool Seek(std::int64_t offset) override {
    return offset >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset;
  }

  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    std::size_t total = 0;
    while (total < buffer.size()) {
      const ssize_t got = ::read(fd_, buffer.data() + total, buffer.size() - total);
      if (got < 0) {
        if (errno == EINTR) continue;
        return std::nullopt;
      }
      if (got == 0) break;
      total += static_cast<std::size_t>(got);
    }
    return total;
  }

  std::size_t Write(std::span<const std::uint8_t> data) override {
    const FileSizeSignalIgnored noSignal;
    std::size_t total = 0;
    while (total < data.size()) {
      const ssize_t put = ::write(fd_, data.data() + total, data.size() - total);
      if (put < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (put == 0) break;
      total += static_cast<std::size_t>(put);
    }
    return total;
  }

  bool Truncate(std::int64_t size) override {
    int result;
    do {
      result = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  // The lock goes with the descriptor: closing it lets the next waiting process in. A
  // file without a name any more was removed by the save that made it.
  bool Lock() override {
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    struct stat info {};
    return result == 0 && ::fstat(fd_, &info) == 0 && info.st_nlink > 0;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

  bool Created() const override { return created_; }

  // Removed only while the name still leads to this file, and before the lock goes with
  // the descriptor.
  bool Remove() override {
    struct stat own {};
    struct stat named {};
    const bool same = created_ && fd_ >= 0 && ::fstat(fd_, &own) == 0 &&
                      ::lstat(path_.c_str(), &named) == 0 && own.st_dev == named.st_dev &&
                      own.st_ino == named.st_ino;
    const bool removed = same && ::unlink(path_.c_str()) == 0;
    Close();
    return removed;
  }

 private:
  int fd_;
  std::string path_;
  bool created_;
};

int OpenRetrying(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

std::unique_ptr<BlockFile> PosixBlockFileOpener::Open(std::string_view name) {
  const std::string path(name);
  // O_NOFOLLOW: a link of that name is refused, so that the block never goes into the
  // file a link leads to, and no file is made where a dangling link points. A missing
  // file is made with O_EXCL, so that it is known to be this save's own; an existing one
  // is opened as it is, never truncated. Without waiting: a device's open may wait.
  constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  // Another process may make or remove the file between the two opens: then again.
  for (int attempt = 0; attempt < 16; ++attempt) {
    int fd = OpenRetrying(path, kFlags | O_CREAT | O_EXCL);
    const bool created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
      fd = OpenRetrying(path, kFlags);
      if (fd < 0 && errno == ENOENT) continue;
    }
    if (fd < 0) return nullptr;
    // A FIFO or device of that name is no place for the block.
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixBlockFile>(fd, path, created);
  }
  return nullptr;
}

}  // namespace zovu
