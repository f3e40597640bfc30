#include "platform/windows/wide_text.h"

#include <cstdint>

#include "support/utf8.h"

namespace zovu {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    // Surrogates pass as they came, so that every name converts back to itself; a byte
    // that starts no character is one bad character.
    const auto [decoded, length] = DecodeUtf8(text, pos, Surrogates::kCharacters);
    const char32_t c = length == 0 ? kReplacement : decoded;
    pos += length == 0 ? 1 : length;
    if (c < 0x10000) {
      out += static_cast<wchar_t>(c);
    } else {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  AppendUtf8FromWide(out, text);
  return out;
}

void AppendUtf8FromWide(std::string& out, std::wstring_view text) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto unit = static_cast<char16_t>(text[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<char16_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit);
  }
}

std::size_t IncompleteUtf8Tail(std::string_view text) {
  // A cut sequence starts at most three bytes before the end.
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const char c = text[text.size() - back];
    if (IsUtf8Continuation(c)) continue;
    const std::size_t length = Utf8LeadLength(c);
    return length > back ? back : 0;
  }
  return 0;
}

}  // namespace zovu
