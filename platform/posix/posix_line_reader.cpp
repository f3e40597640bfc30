#include "platform/posix/posix_line_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/chunked_line_reader.h"
#include "platform/file_kind.h"

namespace zovu {
namespace {

// How long a wait for a pipe's writer lasts before the interruption check is asked again.
constexpr int kWaitSliceMilliseconds = 20;

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

class PosixLineReader final : public ChunkedLineReader {
 public:
  // A pipe is read without blocking, so that a wait for its writer can be given up.
  PosixLineReader(int fd, bool pipe) : fd_(fd), pipe_(pipe) {}
  ~PosixLineReader() override { ::close(fd_); }
  PosixLineReader(const PosixLineReader&) = delete;
  PosixLineReader& operator=(const PosixLineReader&) = delete;
  std::string ReadProblem() const override { return problem_; }

 protected:
  std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) override {
    for (;;) {
      // Polled first: a FIFO that no writer has opened yet would read as ended. Opened
      // without waiting, it reports neither data nor a hang-up until a writer has come.
      if (pipe_) {
        pollfd wait{fd_, POLLIN, 0};
        const int ready = ::poll(&wait, 1, kWaitSliceMilliseconds);
        if (ready < 0 && errno != EINTR) return Failed();
        if (ready <= 0) {
          if (InterruptRequested()) return 0;
          continue;
        }
      }
      const ssize_t got = ::read(fd_, buffer, size);
      if (got < 0 && (errno == EINTR || (pipe_ && errno == EAGAIN))) continue;
      return got < 0 ? Failed() : got;
    }
  }

 private:
  std::ptrdiff_t Failed() {
    problem_ = ErrorText(errno);
    return -1;
  }

  int fd_;
  bool pipe_;
  std::string problem_;
};

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISFIFO(mode)) return FileKind::kPipe;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  return FileKind::kOther;
}

// Why a file of this kind is not read as a list: a directory is one, anything else
// is not supported.
OpenedTextFile Refused(FileKind kind) {
  return {nullptr, ErrorText(kind == FileKind::kDirectory ? EISDIR : ENOTSUP)};
}

}  // namespace

OpenedTextFile OpenPosixLineReader(std::string_view path) {
  // A name with a NUL byte in it names no file.
  if (path.find('\0') != std::string_view::npos) return {nullptr, ErrorText(ENOENT)};
  const std::string name(path);
  // Looked at before it is opened: opening a device can itself wait (a serial line
  // without carrier) or act on it (a tape rewinds when it is closed).
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return {nullptr, ErrorText(errno)};
  if (!ReadableAsList(KindOf(st.st_mode))) return Refused(KindOf(st.st_mode));
  // Opened without waiting: a FIFO that no one writes to would otherwise hold the open
  // until a writer comes, deaf to ESC meanwhile. Only a pipe is read that way.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return {nullptr, ErrorText(errno)};
  // The name may lead elsewhere by now: what was opened decides.
  const int flags = ::fcntl(fd, F_GETFL);
  const bool known = flags >= 0 && ::fstat(fd, &st) == 0;
  const bool pipe = known && KindOf(st.st_mode) == FileKind::kPipe;
  OpenedTextFile opened;
  if (!known) {
    opened.problem = ErrorText(errno);
  } else if (!ReadableAsList(KindOf(st.st_mode))) {
    opened = Refused(KindOf(st.st_mode));
  } else if (!pipe && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    opened.problem = ErrorText(errno);
  } else {
    opened.reader = std::make_unique<PosixLineReader>(fd, pipe);
    return opened;
  }
  ::close(fd);
  return opened;
}

}  // namespace zovu
