#pragma once

#include <string>
#include <string_view>

namespace zovu {

// The bytes of a list file as UTF-8 text. A UTF-16 byte-order mark in front, in either
// byte order, makes the file UTF-16 (as PowerShell 5's ">" and Out-File write it): it is
// converted to UTF-8, without the mark. Any other file is handed on as it is. A surrogate
// without its other half keeps its value in three bytes of its own, the form that
// Windows names with such a surrogate take inside the program.
class ListTextDecoder {
 public:
  // Appends the text of the file's next bytes to out.
  void Decode(std::string_view bytes, std::string& out) {
    if (form_ == Form::kBytes) {
      out.append(bytes);
      return;
    }
    if (form_ == Form::kUnknown) {
      held_.append(bytes);
      const auto first = static_cast<unsigned char>(held_[0]);
      if (held_.size() < 2 && (first == 0xFF || first == 0xFE)) return;
      const auto second = static_cast<unsigned char>(held_.size() > 1 ? held_[1] : 0);
      form_ = first == 0xFF && second == 0xFE   ? Form::kUtf16Le
              : first == 0xFE && second == 0xFF ? Form::kUtf16Be
                                                : Form::kBytes;
      std::string start;
      start.swap(held_);
      if (form_ == Form::kBytes) {
        out.append(start);
        return;
      }
      DecodeUnits(std::string_view(start).substr(2), out);
      return;
    }
    DecodeUnits(bytes, out);
  }

  // The file has ended: appends what was held back (a start too short to tell, a surrogate
  // waiting for its other half, an odd last byte, which becomes U+FFFD).
  void Finish(std::string& out) {
    if (form_ == Form::kUnknown) {
      out.append(held_);
      form_ = Form::kBytes;
    }
    if (highSurrogate_ != 0) AppendUtf8(highSurrogate_, out);
    if (!held_.empty()) AppendUtf8(0xFFFD, out);
    highSurrogate_ = 0;
    held_.clear();
  }

 private:
  enum class Form { kUnknown, kBytes, kUtf16Le, kUtf16Be };

  void DecodeUnits(std::string_view bytes, std::string& out) {
    for (const char byte : bytes) {
      held_ += byte;
      if (held_.size() < 2) continue;
      const auto a = static_cast<unsigned char>(held_[0]);
      const auto b = static_cast<unsigned char>(held_[1]);
      held_.clear();
      DecodeUnit(form_ == Form::kUtf16Le ? (b << 8 | a) : (a << 8 | b), out);
    }
  }

  void DecodeUnit(char32_t unit, std::string& out) {
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (highSurrogate_ != 0 && low) {
      AppendUtf8(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00), out);
      highSurrogate_ = 0;
      return;
    }
    if (highSurrogate_ != 0) AppendUtf8(highSurrogate_, out);
    highSurrogate_ = high ? unit : 0;
    if (!high) AppendUtf8(unit, out);
  }

  static void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  Form form_ = Form::kUnknown;
  // Bytes not decoded yet: the file's first byte while its form is unknown, or the first
  // byte of a UTF-16 unit.
  std::string held_;
  char32_t highSurrogate_ = 0;  // a high surrogate waiting for its low half
};

}  // namespace zovu
