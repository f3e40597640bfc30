#pragma once

#include <deque>
#include <string_view>

namespace zovu {

// Turns the bytes that one read from a terminal delivered into key codes, the way the
// keyboard hands them out: a plain byte is its own code; ESC as the last byte of the
// read, or followed by another ESC, is ESC (27); ESC followed in the same read by "["
// (parameter and intermediate bytes, then a final byte) or by "O" and a final byte, as
// arrow and function keys send, is one extended key: 0, then the final byte. A sequence
// cut short (the read ends, or a byte that cannot belong to it comes) is still one
// extended key, with its last byte as second code. A NUL byte is the extended key 0, 0,
// so that whoever reads a 0 may always read one more code.
class KeyDecoder {
 public:
  // Decodes the bytes of one read, after the codes not yet taken.
  void Feed(std::string_view bytes);
  bool Empty() const { return codes_.empty(); }
  // The next code, or 0 when there is none.
  int Next();
  void Clear() { codes_.clear(); }

 private:
  void Extended(unsigned char second);

  std::deque<int> codes_;
};

}  // namespace zovu
