#include "tally/terminal_text.h"

#include <cstdint>

#include "tally/utf8_text.h"

namespace zovu {

std::string TerminalSafe(std::string_view text) {
  const bool utf8 = IsValidUtf8(text);
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte < 0x20 || byte == 0x7F || (!utf8 && byte >= 0x80 && byte <= 0x9F)) {
      shown += '?';
    } else if (utf8 && byte == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) <= 0x9F) {
      shown += '?';  // a control character of two bytes; the second one is at most 0xBF
      ++i;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

}  // namespace zovu
