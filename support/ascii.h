#pragma once

#include <span>

namespace zovu {

// Replaces "a" to "z" by "A" to "Z" and leaves every other byte as it is: names and
// options compare without regard to case by this rule alone, whatever the locale.
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

constexpr void AsciiUpper(std::span<char> text) {
  for (char& c : text) c = AsciiUpper(c);
}

}  // namespace zovu
