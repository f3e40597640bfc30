#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/list_text_decoder.h"

namespace zovu {

// The longest line kept; the rest of a longer line is skipped, so that a file without
// line ends (or an endless device) cannot use up the memory.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Splits a byte source that is read in large chunks into lines. Lines may end in "\n"
// or, as written on Windows, "\r\n"; neither is part of the line. A UTF-8 byte-order
// mark in front of the first line is not part of it either; a UTF-16 one makes the whole
// source UTF-16, read as UTF-8 (ListTextDecoder). Reading ends early when the
// interruption check answers true before a chunk.
class ChunkedLineReader : public LineReader {
 public:
  bool AtEnd() override { return pos_ == data_.size() && !Fill(); }
  bool ReadFailed() const override { return failed_; }

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
    // Editors that save UTF-8 often put a byte-order mark in front of the text.
    if (firstLine_ && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
    firstLine_ = false;
    return line;
  }

 protected:
  // Reads up to size bytes into buffer; returns how many (0 at the end, or once the
  // interruption check answered true while it waited), or -1 when the read failed.
  virtual std::ptrdiff_t ReadChunk(char* buffer, std::size_t size) = 0;

 private:
  bool Fill() {
    pos_ = 0;
    data_.clear();
    // A UTF-16 source's first chunk may hold its byte-order mark alone.
    while (data_.empty()) {
      // A file of gigabytes without a line end is skipped a chunk at a time; the reader
      // may be told to give up between chunks.
      if (failed_ || InterruptRequested()) return false;
      raw_.resize(kChunk);
      const std::ptrdiff_t got = ReadChunk(raw_.data(), raw_.size());
      // A failed read ends the file for good; the reader remembers it.
      failed_ = got < 0;
      if (got <= 0) {
        if (!failed_) decoder_.Finish(data_);
        return !data_.empty();
      }
      decoder_.Decode(std::string_view(raw_.data(), static_cast<std::size_t>(got)), data_);
    }
    return true;
  }

  static constexpr std::size_t kChunk = 64 * 1024;
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string raw_;
  ListTextDecoder decoder_;
  std::string data_;
  std::size_t pos_ = 0;
  bool firstLine_ = true;
  bool failed_ = false;
};

}  // namespace zovu
