#include "platform/posix/key_decoder.h"

#include "platform/keyboard.h"

namespace zovu {
namespace {

constexpr unsigned char kEsc = kEscapeKey;

// Bytes that may stand between the introducer and the final byte of a sequence:
// parameters (0x30-0x3F) and intermediates (0x20-0x2F).
bool InsideSequence(unsigned char c) {
  return c >= 0x20 && c <= 0x3F;
}

bool FinalByte(unsigned char c) {
  return c >= 0x40 && c <= 0x7E;
}

}  // namespace

void KeyDecoder::Feed(std::string_view bytes) {
  std::size_t i = 0;
  auto at = [&bytes](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const unsigned char c = at(i);
    if (c == 0) {
      Extended(0);
      ++i;
      continue;
    }
    const bool introducer =
        c == kEsc && i + 1 < bytes.size() && (at(i + 1) == '[' || at(i + 1) == 'O');
    if (!introducer) {
      codes_.push_back(c);
      ++i;
      continue;
    }
    const bool csi = at(i + 1) == '[';
    std::size_t last = i + 1;  // the last byte taken into the sequence
    if (csi) {
      while (last + 1 < bytes.size() && InsideSequence(at(last + 1))) ++last;
    }
    if (last + 1 < bytes.size() && FinalByte(at(last + 1))) ++last;
    Extended(at(last));
    i = last + 1;
  }
}

int KeyDecoder::Next() {
  if (codes_.empty()) return 0;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

void KeyDecoder::Extended(unsigned char second) {
  codes_.push_back(0);
  codes_.push_back(second);
}

}  // namespace zovu
