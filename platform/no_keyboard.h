#pragma once

#include "platform/keyboard.h"

namespace zovu {

// The keyboard of a run without a terminal: no key is ever waiting.
class NoKeyboard final : public Keyboard {
 public:
  bool KeyWaiting() override { return false; }
  int ReadKey() override { return 0; }
};

}  // namespace zovu
