#include "platform/windows/windows_keyboard.h"

namespace zovu {

bool WindowsKeyboard::KeyWaiting() {
  if (!queue_.Empty()) return true;
  // Events that are no key presses are taken out of the way, so that the next one
  // that is a key can be seen without waiting.
  for (;;) {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &count) || count == 0) return false;
    INPUT_RECORD event{};
    DWORD got = 0;
    if (!PeekConsoleInputW(input_, &event, 1, &got) || got == 0) return false;
    if (ConsoleKeyQueue::IsKey(event)) return true;
    if (!ReadConsoleInputW(input_, &event, 1, &got) || got == 0) return false;
  }
}

int WindowsKeyboard::ReadKey() {
  while (queue_.Empty()) {
    INPUT_RECORD event{};
    DWORD got = 0;
    if (!ReadConsoleInputW(input_, &event, 1, &got) || got == 0) return 0;
    queue_.Add(event);
  }
  return queue_.Take();
}

}  // namespace zovu
