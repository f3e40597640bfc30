#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"

namespace zovu {

// Splits a byte source that is read in large chunks into lines. Lines may end in "\n"
// or, as written on Windows, "\r\n"; neither is part of the line.
class ChunkedLineReader : public LineReader {
 public:
  bool AtEnd() override { return pos_ == data_.size() && !Fill(); }

  std::string ReadLine() override {
    std::string line;
    for (;;) {
      if (pos_ == data_.size() && !Fill()) break;
      const std::size_t end = data_.find('\n', pos_);
      if (end == std::string::npos) {
        line.append(data_, pos_, std::string::npos);
        pos_ = data_.size();
        continue;
      }
      line.append(data_, pos_, end - pos_);
      pos_ = end + 1;
      break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

 protected:
  // Reads up to size bytes into buffer; returns how many, 0 at the end or on failure.
  virtual std::size_t ReadChunk(char* buffer, std::size_t size) = 0;

 private:
  bool Fill() {
    data_.resize(kChunk);
    pos_ = 0;
    data_.resize(ReadChunk(data_.data(), data_.size()));
    return !data_.empty();
  }

  static constexpr std::size_t kChunk = 64 * 1024;
  std::string data_;
  std::size_t pos_ = 0;
};

}  // namespace zovu
