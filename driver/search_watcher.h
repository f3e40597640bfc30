#pragma once

#include <cstdint>

#include "platform/keyboard.h"
#include "search/file_search.h"
#include "search/tree_walk.h"
#include "support/console.h"

namespace zovu {

// Watches a search from the main thread, the only one that touches the console and the
// keyboard: the spinner shows the entries handed over so far, and ESC ends the search.
class SearchWatcher final : public WalkWatcher {
 public:
  SearchWatcher(Console& console, Keyboard& keyboard) : console_(console), keyboard_(keyboard) {}
  bool Tick(std::uint64_t entries) override {
    if (EscPressed(keyboard_)) return true;
    console_.ShowSpinner(entries);
    return false;
  }

 private:
  Console& console_;
  Keyboard& keyboard_;
};

}  // namespace zovu
