#include "platform/posix/posix_block_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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
  explicit PosixBlockFile(int fd) : fd_(fd) {}
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

  // The lock goes with the descriptor: closing it lets the next waiting process in.
  bool Lock() override {
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<BlockFile> PosixBlockFileOpener::Open(std::string_view name) {
  const std::string path(name);
  // No O_TRUNC: an existing file keeps its bytes; only a missing one is created.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  // A FIFO or device of that name is no place for the block.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixBlockFile>(fd);
}

}  // namespace zovu
