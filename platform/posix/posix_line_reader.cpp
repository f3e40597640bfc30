#include "platform/posix/posix_line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/chunked_line_reader.h"

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

}  // namespace

std::unique_ptr<LineReader> OpenPosixLineReader(std::string_view path) {
  // A name with a NUL byte in it names no file.
  if (path.find('\0') != std::string_view::npos) return nullptr;
  const std::string name(path);
  // Opened without waiting: a FIFO that no one writes to would otherwise hold the open
  // for ever, while a read of it ends at once. Reads wait again as usual.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixLineReader>(fd);
}

}  // namespace zovu
