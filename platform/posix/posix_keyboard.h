#pragma once

#include "platform/keyboard.h"
#include "platform/posix/key_decoder.h"

namespace zovu {

// The keyboard of the controlling terminal. Without one, or while the process is not in
// the terminal's foreground, no key is ever waiting. Keys are read only while a search
// polls; the terminal is in single-key mode then.
class PosixKeyboard final : public Keyboard {
 public:
  PosixKeyboard();
  void BeginPolling() override;
  void EndPolling() override;
  bool KeyWaiting() override;
  int ReadKey() override;

 private:
  KeyDecoder keys_;
};

}  // namespace zovu
