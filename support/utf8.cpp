#include "support/utf8.h"

namespace zovu {

bool IsValidUtf8(std::string_view text, Surrogates surrogates) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at, surrogates);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::size_t Utf8Characters(std::string_view text, Surrogates surrogates) {
  std::size_t characters = 0;
  for (std::size_t at = 0; at < text.size(); at += Utf8CharLength(text, at, surrogates)) {
    ++characters;
  }
  return characters;
}

std::size_t Utf8PrefixBytes(std::string_view text, std::size_t characters, Surrogates surrogates) {
  std::size_t bytes = 0;
  for (std::size_t n = 0; n < characters && bytes < text.size(); ++n) {
    bytes += Utf8CharLength(text, bytes, surrogates);
  }
  return bytes;
}

}  // namespace zovu
