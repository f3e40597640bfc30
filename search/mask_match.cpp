#include "search/mask_match.h"

namespace zovu {
namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A name or mask split at its last dot; no part is copied.
struct Parts {
  std::string_view base;
  std::string_view ext;
};

Parts SplitAtLastDot(std::string_view text) {
  const std::size_t dot = text.rfind('.');
  return {text.substr(0, dot), text.substr(dot + 1)};
}

// The base and extension patterns of a non-empty mask, read as the matching rules say.
Parts MaskParts(std::string_view mask) {
  // A mask without a dot is read with ".*" appended.
  Parts maskParts{mask, "*"};
  if (const std::size_t dot = mask.find('.'); dot != std::string_view::npos) {
    maskParts = SplitAtLastDot(mask);
    // A mask starting with its first dot is read with "*" in front, and a base pattern
    // that starts with "*" accepts every base, so "*" alone stands for it.
    if (dot == 0) maskParts.base = "*";
  }
  return maskParts;
}

}  // namespace

bool MatchesEveryName(std::string_view maskList) {
  std::string_view masks = maskList.substr(0, maskList.find(';'));
  for (;;) {
    const std::size_t comma = masks.find(',');
    const std::string_view mask = masks.substr(0, comma);
    if (!mask.empty()) {
      // A pattern that starts with "*" accepts any text, the empty text included.
      const Parts parts = MaskParts(mask);
      if (parts.base.starts_with('*') && parts.ext.starts_with('*')) return true;
    }
    if (comma == std::string_view::npos) return false;
    masks.remove_prefix(comma + 1);
  }
}

bool MatchMaskList(std::string_view name, std::string_view maskList) {
  std::string_view masks = maskList.substr(0, maskList.find(';'));
  for (;;) {
    const std::size_t comma = masks.find(',');
    if (MatchMask(name, masks.substr(0, comma))) return true;
    if (comma == std::string_view::npos) return false;
    masks.remove_prefix(comma + 1);
  }
}

bool MatchMask(std::string_view name, std::string_view mask) {
  if (mask.empty()) return false;
  // A name without a dot is read with one appended: its whole text is the base.
  Parts nameParts{name, {}};
  if (name.find('.') != std::string_view::npos) nameParts = SplitAtLastDot(name);
  const Parts maskParts = MaskParts(mask);
  return WildMatch(nameParts.ext, maskParts.ext) && WildMatch(nameParts.base, maskParts.base);
}

bool WildMatch(std::string_view text, std::string_view pattern) {
  if (text == pattern) return true;
  std::size_t i = 0;
  std::size_t j = 0;
  bool readAny = false;
  char last = '\0';
  for (;;) {
    ++i;
    ++j;
    if (j > pattern.size()) break;
    const char c = AsciiUpper(pattern[j - 1]);
    readAny = true;
    last = c;
    if (i > text.size()) break;
    if (c == '*') return true;
    if (c == '?') continue;
    if (AsciiUpper(text[i - 1]) != c) return false;
  }
  if (i == text.size() + 1 && j == pattern.size() + 1) return true;
  // The text ran out where the pattern still had a "*".
  return readAny && last == '*';
}

std::string_view NthField(std::string_view s, std::string_view delim, std::int16_t n) {
  if (n == 0) return {};
  const bool fromLeft = n > 0;
  int remaining = fromLeft ? n : -static_cast<int>(n);
  for (;;) {
    const std::size_t at = fromLeft ? s.find(delim) : s.rfind(delim);
    if (at == std::string_view::npos) {
      // The field runs to the end (or the start); any further field is empty.
      if (remaining == 1) return s;
      return {};
    }
    if (remaining == 1) return fromLeft ? s.substr(0, at) : s.substr(at + delim.size());
    s = fromLeft ? s.substr(at + delim.size()) : s.substr(0, at);
    --remaining;
  }
}

}  // namespace zovu
