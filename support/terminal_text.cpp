#include "support/terminal_text.h"

#include "support/display_width.h"
#include "support/utf8.h"

namespace zovu {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

enum class Shown { kAsItIs, kQuestionMark, kReplacementCharacter };

struct Piece {
  std::size_t length;  // bytes
  char32_t c;
  Shown shown;
};

bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsSteeringFormat(char32_t c) {
  return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

// The character or stray byte at text[at], and how a terminal is shown it.
Piece PieceAt(std::string_view text, std::size_t at) {
  const auto [c, length] = DecodeUtf8(text, at, Surrogates::kMalformed);
  if (length == 0) return {1, 0, Shown::kReplacementCharacter};
  if (IsControl(c) || IsSteeringFormat(c)) return {length, c, Shown::kQuestionMark};
  return {length, c, Shown::kAsItIs};
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Piece piece = PieceAt(text, i);
    switch (piece.shown) {
      case Shown::kAsItIs:
        shown.append(text.substr(i, piece.length));
        break;
      case Shown::kQuestionMark:
        shown += '?';
        break;
      case Shown::kReplacementCharacter:
        shown.append(kReplacementCharacter);
        break;
    }
    i += piece.length;
  }
  return shown;
}

std::size_t DisplayColumns(std::string_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Piece piece = PieceAt(text, i);
    columns +=
        piece.shown == Shown::kAsItIs ? static_cast<std::size_t>(CharacterColumns(piece.c)) : 1;
    i += piece.length;
  }
  return columns;
}

}  // namespace zovu
