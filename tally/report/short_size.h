#pragma once

#include <string>

#include "tally/extension_tally.h"

namespace zovu {

// A byte count in short binary units as people read them in directory listings: up to
// 1023 exactly ("1023"), then in K, M, G, T, P, E, Z, Y, R and Q (powers of 1024) with
// one decimal below 10 ("1.0K", "9.9M") and none from 10 on ("10K", "1023G"), always
// rounded up, so that "1.0K" is never less than it says.
std::string ShortBinarySize(TallyBytes bytes);

}  // namespace zovu
