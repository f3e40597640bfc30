#include "platform/windows/console_key_queue.h"

namespace zovu {
namespace {

bool IsModifierOnly(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool ConsoleKeyQueue::IsKey(const INPUT_RECORD& event) {
  if (event.EventType != KEY_EVENT) return false;
  const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
  return key.bKeyDown && key.wRepeatCount > 0 && !IsModifierOnly(key.wVirtualKeyCode);
}

void ConsoleKeyQueue::Add(const INPUT_RECORD& event) {
  if (!IsKey(event)) return;
  const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
  const int code = key.uChar.UnicodeChar;
  for (WORD i = 0; i < key.wRepeatCount; ++i) {
    codes_.push_back(code);
    if (code == 0) codes_.push_back(key.wVirtualScanCode);
  }
}

int ConsoleKeyQueue::Take() {
  if (codes_.empty()) return 0;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

}  // namespace zovu
