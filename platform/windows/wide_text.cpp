#include "platform/windows/wide_text.h"

#include <cstdint>

namespace zovu {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The length of the sequence that lead byte c begins, or 0 for a byte that begins none.
std::size_t SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

// Decodes one character at text[pos]; returns it and advances pos. Overlong forms and
// values past U+10FFFF are rejected; surrogate values are accepted on purpose.
char32_t DecodeOne(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  const std::size_t length = SequenceLength(lead);
  if (length == 0) {
    ++pos;
    return kReplacement;
  }
  if (length == 1) {
    ++pos;
    return lead;
  }
  char32_t value = lead & (0xFF >> (length + 1));
  std::size_t i = 1;
  for (; i < length && pos + i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(c)) break;
    if (i == 1 &&
        ((lead == 0xE0 && c < 0xA0) || (lead == 0xF0 && c < 0x90) || (lead == 0xF4 && c > 0x8F))) {
      break;
    }
    value = (value << 6) | (c & 0x3F);
  }
  if (i < length) {
    pos += i;  // the bytes that looked like a start count as one bad character
    return kReplacement;
  }
  pos += length;
  return value;
}

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
    const char32_t c = DecodeOne(text, pos);
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
    const auto c = static_cast<unsigned char>(text[text.size() - back]);
    if (IsContinuation(c)) continue;
    const std::size_t length = SequenceLength(c);
    return length > back ? back : 0;
  }
  return 0;
}

}  // namespace zovu
