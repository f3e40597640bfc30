#pragma once

#include <windows.h>

#include "platform/keyboard.h"
#include "platform/windows/console_key_queue.h"

namespace zovu {

// The keyboard of the console that standard input is attached to, read as input
// events so that no key waits for Enter and none is echoed.
class WindowsKeyboard final : public Keyboard {
 public:
  explicit WindowsKeyboard(HANDLE consoleInput) : input_(consoleInput) {}
  bool KeyWaiting() override;
  int ReadKey() override;

 private:
  HANDLE input_;
  ConsoleKeyQueue queue_;
};

}  // namespace zovu
