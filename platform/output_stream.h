#pragma once

#include <string_view>

namespace zovu {

// A byte stream that hands everything it is given to the device at once, so that
// text written to two streams shows up in the order in which it was written.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Writes all of text. Returns false, and writes nothing more, once a write has failed.
  virtual bool Write(std::string_view text) = 0;
  // True once a write failed because nothing reads the stream any more (a closed pipe).
  virtual bool ReaderGone() const { return false; }
};

}  // namespace zovu
