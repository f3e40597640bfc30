#include "tally/tally_callback.h"

namespace zovu {

bool TallyCallback::TallyFoundFile(const FoundFile& file) {
  console_.SpinnerStep();
  if (AttrMatches(static_cast<std::uint16_t>(file.Attr), kAttrDirectory)) return true;
  ++matchCount_;
  tally_.AddToTally({}, file.Size);
  return true;
}

}  // namespace zovu
