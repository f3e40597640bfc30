#include "platform/posix/posix_output_stream.h"

#include <unistd.h>

#include <cerrno>

namespace zovu {

bool PosixOutputStream::Write(std::string_view text) {
  while (!failed_ && !text.empty()) {
    const ssize_t written = ::write(fd_, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      readerGone_ = errno == EPIPE;
    } else {
      text.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  return !failed_;
}

}  // namespace zovu
