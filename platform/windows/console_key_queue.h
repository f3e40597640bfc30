#pragma once

#include <windows.h>

#include <deque>

namespace zovu {

// Turns console input events into the key codes that Keyboard::ReadKey hands out:
// only key presses count (releases, mouse, focus and size events do not); a press
// repeated by the keyboard counts once per repeat; a key without a character (arrows,
// function keys) gives 0 and then its scan code; a shift, control, alt or lock key
// pressed on its own gives nothing.
class ConsoleKeyQueue {
 public:
  // True when the event yields at least one code.
  static bool IsKey(const INPUT_RECORD& event);
  // Appends the codes of the event, if any.
  void Add(const INPUT_RECORD& event);
  bool Empty() const { return codes_.empty(); }
  int Take();

 private:
  std::deque<int> codes_;
};

}  // namespace zovu
