#pragma once

#include <windows.h>

#include <string>

#include "platform/output_stream.h"

namespace zovu {

// Writes to a standard handle without buffering. A console gets the text as UTF-16
// through WriteConsoleW, so that every character shows whatever the console's code
// page; a file or pipe gets the UTF-8 bytes as they are.
class WindowsOutputStream final : public OutputStream {
 public:
  explicit WindowsOutputStream(HANDLE handle);
  bool Write(std::string_view text) override;
  bool IsConsole() const { return console_; }
  bool ReaderGone() const override { return readerGone_; }

 private:
  bool WriteBytes(std::string_view bytes);
  bool WriteConsoleText(std::string_view text);

  HANDLE handle_;
  bool console_ = false;
  bool failed_ = false;
  bool readerGone_ = false;
  std::string heldBack_;  // the start of a character whose last bytes are still to come
};

}  // namespace zovu
