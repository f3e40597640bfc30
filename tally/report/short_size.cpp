#include "tally/report/short_size.h"

#include <string_view>

#include "tally/decimal_text.h"

namespace zovu {

std::string ShortBinarySize(TallyBytes bytes) {
  __extension__ typedef unsigned __int128 Magnitude;
  constexpr std::string_view kUnits = "KMGTPEZYRQ";
  const Magnitude n = bytes < 0 ? 0 : static_cast<Magnitude>(bytes);
  if (n < 1024) return DecimalText(static_cast<TallyBytes>(n));
  std::size_t unit = 0;  // K
  while (unit + 1 < kUnits.size() && (n >> (10 * (unit + 2))) != 0) ++unit;
  const unsigned shift = static_cast<unsigned>(10 * (unit + 1));
  const Magnitude divisor = Magnitude(1) << shift;
  Magnitude whole = n >> shift;
  const Magnitude rest = n & (divisor - 1);
  if (whole < 10) {
    // Tenths rounded up; 9.95 and more round up to 10, written without a decimal.
    Magnitude tenths = (rest * 10 + divisor - 1) / divisor;
    if (tenths == 10) {
      ++whole;
      tenths = 0;
    }
    if (whole < 10) {
      return DecimalText(static_cast<TallyBytes>(whole)) + '.' +
             static_cast<char>('0' + static_cast<int>(tenths)) + kUnits[unit];
    }
  } else if (rest != 0) {
    ++whole;
    if (whole == 1024 && unit + 1 < kUnits.size()) return std::string("1.0") + kUnits[unit + 1];
  }
  return DecimalText(static_cast<TallyBytes>(whole)) + kUnits[unit];
}

}  // namespace zovu
