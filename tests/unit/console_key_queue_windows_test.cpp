#include <gtest/gtest.h>

#include <vector>

#include "platform/windows/console_key_queue.h"

namespace zovu {
namespace {

INPUT_RECORD KeyEvent(bool down, wchar_t c, WORD virtualKey, WORD scanCode, WORD repeat = 1) {
  INPUT_RECORD event{};
  event.EventType = KEY_EVENT;
  event.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  event.Event.KeyEvent.wRepeatCount = repeat;
  event.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  event.Event.KeyEvent.wVirtualScanCode = scanCode;
  event.Event.KeyEvent.uChar.UnicodeChar = c;
  return event;
}

INPUT_RECORD OtherEvent(WORD type) {
  INPUT_RECORD event{};
  event.EventType = type;
  return event;
}

std::vector<int> CodesOf(const INPUT_RECORD& event) {
  ConsoleKeyQueue queue;
  queue.Add(event);
  std::vector<int> codes;
  while (!queue.Empty()) codes.push_back(queue.Take());
  return codes;
}

TEST(ConsoleKeyQueue, TurnsInputEventsIntoKeyCodes) {
  struct Case {
    const char* what;
    INPUT_RECORD event;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"ESC pressed", KeyEvent(true, 27, VK_ESCAPE, 1), {27}},
      {"ESC released", KeyEvent(false, 27, VK_ESCAPE, 1), {}},
      {"a letter", KeyEvent(true, L'a', 'A', 30), {'a'}},
      {"a held key", KeyEvent(true, L'x', 'X', 45, 3), {'x', 'x', 'x'}},
      {"no repeat at all", KeyEvent(true, L'x', 'X', 45, 0), {}},
      {"a character beyond Latin-1", KeyEvent(true, L'\u20AC', 'E', 18), {0x20AC}},
      {"an arrow key", KeyEvent(true, 0, VK_UP, 72), {0, 72}},
      {"a held function key", KeyEvent(true, 0, VK_F1, 59, 2), {0, 59, 0, 59}},
      {"shift alone", KeyEvent(true, 0, VK_SHIFT, 42), {}},
      {"control alone", KeyEvent(true, 0, VK_CONTROL, 29), {}},
      {"alt alone", KeyEvent(true, 0, VK_MENU, 56), {}},
      {"caps lock", KeyEvent(true, 0, VK_CAPITAL, 58), {}},
      {"a mouse event", OtherEvent(MOUSE_EVENT), {}},
      {"a window resize", OtherEvent(WINDOW_BUFFER_SIZE_EVENT), {}},
      {"a focus change", OtherEvent(FOCUS_EVENT), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodesOf(c.event), c.codes) << c.what;
    EXPECT_EQ(ConsoleKeyQueue::IsKey(c.event), !c.codes.empty()) << c.what;
  }
}

TEST(ConsoleKeyQueue, HandsOutCodesInTheOrderOfTheEvents) {
  ConsoleKeyQueue queue;
  queue.Add(KeyEvent(true, 0, VK_DOWN, 80));
  queue.Add(KeyEvent(false, 0, VK_DOWN, 80));
  queue.Add(KeyEvent(true, 27, VK_ESCAPE, 1));
  std::vector<int> codes;
  while (!queue.Empty()) codes.push_back(queue.Take());
  EXPECT_EQ(codes, (std::vector<int>{0, 80, 27}));
  EXPECT_EQ(queue.Take(), 0);  // nothing left
}

}  // namespace
}  // namespace zovu
