#include "tally/decimal_text.h"

namespace zovu {

std::string_view DecimalDigits(TallyBytes value, DecimalBuffer& buffer) {
  __extension__ typedef unsigned __int128 Magnitude;
  const bool negative = value < 0;
  Magnitude rest =
      negative ? Magnitude(0) - static_cast<Magnitude>(value) : static_cast<Magnitude>(value);
  std::size_t start = buffer.size();
  do {
    buffer[--start] = static_cast<char>('0' + static_cast<int>(rest % 10));
    rest /= 10;
  } while (rest != 0);
  if (negative) buffer[--start] = '-';
  return std::string_view(buffer.data() + start, buffer.size() - start);
}

std::string DecimalText(TallyBytes value) {
  DecimalBuffer buffer;
  return std::string(DecimalDigits(value, buffer));
}

}  // namespace zovu
