#include "tally/tally_callback.h"

namespace zovu {

bool TallyCallback::TallyFoundFile(const FoundFile& file) {
  if (AttrMatches(static_cast<std::uint16_t>(file.Attr), kAttrDirectory)) return true;
  std::string_view extension = ExtensionOf(file.Name);
  if (!extension.empty()) extension.remove_prefix(1);  // the dot
  if (details_ == EntryDetails::kDiskUsage && file.Links > 1) {
    tally_.AddLinkedFile(FileIdentity{file.Device, file.Inode}, extension, file.Size);
  } else {
    tally_.AddToTally(extension, file.Size);
  }
  return true;
}

// The extension part of the name with its dot, or empty: SplitPath's rule (from the
// last dot after the last directory separator) found in one backward pass, without
// allocating, as this runs for every file of the walk.
std::string_view TallyCallback::ExtensionOf(std::string_view name) const {
  for (std::size_t i = name.size(); i > 0; --i) {
    const char c = name[i - 1];
    if (c == '.') return name.substr(i - 1);
    if (EndsDirectoryPart(style_, c)) break;
  }
  return {};
}

}  // namespace zovu
