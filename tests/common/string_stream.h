#pragma once

#include <string>

#include "platform/output_stream.h"

namespace zovu::testing {

// An output stream that keeps everything written to it, for byte-exact checks.
class StringStream final : public OutputStream {
 public:
  bool Write(std::string_view text) override {
    if (fail) return false;
    text_.append(text);
    return true;
  }
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }
  bool fail = false;

 private:
  std::string text_;
};

}  // namespace zovu::testing
