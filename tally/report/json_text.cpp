#include "tally/report/json_text.h"

#include "support/utf8.h"

namespace zovu {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// Characters written as escapes: those that could steer a terminal, and U+FFFD, which
// then reads as a stand-in in any font.
bool IsEscaped(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFFFD;
}

void AppendUnicodeEscape(std::string& out, char32_t c) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(c >> shift) & 0xF];
}

std::string HexBytes(std::string_view bytes) {
  std::string hex;
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 0xF];
  }
  return hex;
}

// text as a JSON string in quotes, with U+FFFD for each byte that is no part of a UTF-8
// character.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto [c, length] = DecodeUtf8(text, i, Surrogates::kMalformed);
    if (length == 0) {
      out += "\\ufffd";  // for a byte that is no part of a character
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (IsEscaped(c)) {
      AppendUnicodeEscape(out, c);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  out += '"';
  return out;
}

}  // namespace

void AppendJsonText(std::string& out, std::string_view name, std::string_view text) {
  const bool utf8 = IsValidUtf8(text, Surrogates::kMalformed);
  out += JsonString(name);
  out += ": ";
  out += JsonString(text);
  if (utf8) return;
  out += ", ";
  out += JsonString(std::string(name) + "_hex");
  out += ": \"";
  out += HexBytes(text);
  out += '"';
}

}  // namespace zovu
