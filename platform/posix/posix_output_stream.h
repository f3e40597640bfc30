#pragma once

#include "platform/output_stream.h"

namespace zovu {

// Writes straight to a file descriptor, without buffering.
class PosixOutputStream final : public OutputStream {
 public:
  explicit PosixOutputStream(int fd) : fd_(fd) {}
  bool Write(std::string_view text) override;
  bool ReaderGone() const override { return readerGone_; }

 private:
  int fd_;
  bool failed_ = false;
  bool readerGone_ = false;
};

}  // namespace zovu
