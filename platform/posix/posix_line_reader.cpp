#include "platform/posix/posix_line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace zovu {
namespace {

class PosixLineReader final : public LineReader {
 public:
  explicit PosixLineReader(int fd) : fd_(fd) {}
  ~PosixLineReader() override { ::close(fd_); }
  PosixLineReader(const PosixLineReader&) = delete;
  PosixLineReader& operator=(const PosixLineReader&) = delete;

  bool AtEnd() override { return pos_ == data_.size() && !Fill(); }
  bool ReadFailed() const override { return failed_; }

  // Lines may end in "\n" or, as written on Windows, "\r\n"; neither is part of the line.
  // What a line holds past kMaxLineBytes is skipped, so that a file without line ends
  // (or an endless device) cannot use up the memory.
  std::string ReadLine() override {
    std::string line;
    for (;;) {
      if (pos_ == data_.size() && !Fill()) break;
      const std::size_t end = data_.find('\n', pos_);
      const std::size_t stop = end == std::string::npos ? data_.size() : end;
      line.append(data_, pos_, std::min(stop - pos_, kMaxLineBytes - line.size()));
      if (end == std::string::npos) {
        pos_ = data_.size();
        continue;
      }
      pos_ = end + 1;
      break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

 private:
  bool Fill() {
    pos_ = 0;
    if (failed_) {
      data_.clear();
      return false;
    }
    data_.resize(kChunk);
    for (;;) {
      const ssize_t got = ::read(fd_, data_.data(), data_.size());
      if (got < 0 && errno == EINTR) continue;
      // A failed read ends the file for good; the reader remembers why.
      failed_ = got < 0;
      data_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
      return got > 0;
    }
  }

  static constexpr std::size_t kChunk = 64 * 1024;
  int fd_;
  std::string data_;
  std::size_t pos_ = 0;
  bool failed_ = false;
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
