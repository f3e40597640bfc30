#include "platform/posix/posix_line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/chunked_line_reader.h"
#include "platform/file_kind.h"

namespace zovu {
namespace {

class PosixLineReader final : public ChunkedLineReader {
 public:
  explicit PosixLineReader(int fd) : fd_(fd) {}
  ~PosixLineReader() override { ::close(fd_); }
  PosixLineReader(const PosixLineReader&) = delete;
  PosixLineReader& operator=(const PosixLineReader&) = delete;

 protected:
  std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, size);
      if (got < 0 && errno == EINTR) continue;
      return got;
    }
  }

 private:
  int fd_;
};

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISFIFO(mode)) return FileKind::kPipe;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  return FileKind::kOther;
}

}  // namespace

std::unique_ptr<LineReader> OpenPosixLineReader(std::string_view path) {
  // A name with a NUL byte in it names no file.
  if (path.find('\0') != std::string_view::npos) return nullptr;
  const std::string name(path);
  // Looked at before it is opened: opening a device can itself wait (a serial line
  // without carrier) or act on it (a tape rewinds when it is closed).
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || !ReadableAsList(KindOf(st.st_mode))) return nullptr;
  // Opened without waiting: a FIFO that no one writes to would otherwise hold the open
  // for ever, while a read of it ends at once. Reads wait again as usual.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return nullptr;
  // The name may lead elsewhere by now: what was opened decides.
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !ReadableAsList(KindOf(st.st_mode)) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixLineReader>(fd);
}

}  // namespace zovu
