#include "search/mask_match.h"

#include "support/ascii.h"
#include "support/utf8.h"

namespace zovu {
namespace {

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

void MaskList::Add(std::string_view list) {
  std::string_view masks = list.substr(0, list.find(';'));
  for (;;) {
    const std::size_t comma = masks.find(',');
    if (const std::string_view mask = masks.substr(0, comma); !mask.empty()) {
      const Parts parts = MaskParts(mask);
      masks_.push_back(Mask{std::string(parts.base), std::string(parts.ext)});
      // A pattern that starts with "*" accepts any text, the empty text included.
      everyName_ = everyName_ || (parts.base.starts_with('*') && parts.ext.starts_with('*'));
    }
    if (comma == std::string_view::npos) break;
    masks.remove_prefix(comma + 1);
  }
}

bool MaskList::Matches(std::string_view name) const {
  // A name without a dot is read with one appended: its whole text is the base.
  Parts nameParts{name, {}};
  if (name.find('.') != std::string_view::npos) nameParts = SplitAtLastDot(name);
  for (const Mask& mask : masks_) {
    if (WildMatch(nameParts.ext, mask.ext) && WildMatch(nameParts.base, mask.base)) return true;
  }
  return false;
}

// WildMatch for parts that hold characters other than ASCII. "?" takes a whole UTF-8
// character of the text, so the two may move on by different numbers of bytes.
// Not in the unnamed namespace on purpose: the compiler would then inline it into
// WildMatch, whose every call would pay for the registers this loop needs.
bool MatchCharacters(std::string_view text, std::string_view pattern) {
  std::size_t i = 0;  // byte offsets of the next character of each
  std::size_t j = 0;
  for (;;) {
    if (j == pattern.size()) return i == text.size();
    const char c = AsciiUpper(pattern[j]);
    if (i == text.size()) return c == '*';
    if (c == '*') return true;
    if (c == '?') {
      i += Utf8CharLength(text, i, Surrogates::kCharacters);
      ++j;
      continue;
    }
    if (AsciiUpper(text[i]) != c) return false;
    std::size_t length = 1;
    if (static_cast<unsigned char>(c) >= 0x80) {
      // The same lead byte: the same character when the rest of its bytes agree.
      length = Utf8CharLength(pattern, j, Surrogates::kCharacters);
      if (Utf8CharLength(text, i, Surrogates::kCharacters) != length ||
          text.substr(i, length) != pattern.substr(j, length)) {
        return false;
      }
    }
    i += length;
    j += length;
  }
}

bool WildMatch(std::string_view text, std::string_view pattern) {
  if (text == pattern) return true;
  // While the text is ASCII a character is a byte. The first byte that is not hands
  // the rest to the slower loop, so that ASCII names pay nothing for it.
  for (std::size_t k = 0;; ++k) {
    if (k == pattern.size()) return k == text.size();
    const char c = AsciiUpper(pattern[k]);
    // The text ran out: only a "*" still accepts it.
    if (k == text.size()) return c == '*';
    if (c == '*') return true;
    const char t = c == '?' ? text[k] : AsciiUpper(text[k]);
    if (t != c && c != '?') return false;
    if (static_cast<unsigned char>(t) >= 0x80) {
      return MatchCharacters(text.substr(k), pattern.substr(k));
    }
  }
}

}  // namespace zovu
