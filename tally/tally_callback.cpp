#include "tally/tally_callback.h"

#include "search/path_rules.h"

namespace zovu {

bool TallyCallback::TallyFoundFile(const FoundFile& file) {
  console_.SpinnerStep();
  if (AttrMatches(static_cast<std::uint16_t>(file.Attr), kAttrDirectory)) return true;
  ++matchCount_;
  std::string_view extension = ExtensionOf(file.Name);
  if (!extension.empty()) extension.remove_prefix(1);  // the dot
  tally_.AddToTally(extension, file.Size);
  return true;
}

// The extension part of the name with its dot, or empty. The walker hands over bare
// names, whose extension starts at the last dot; this is the common case and costs no
// allocation. A name with a directory part is left to SplitPath.
std::string_view TallyCallback::ExtensionOf(std::string_view name) {
  const std::string_view dirEnds = style_ == PathStyle::kWindows ? "\\/:" : "/";
  if (name.find_first_of(dirEnds) != std::string_view::npos) {
    splitExtension_ = SplitPath(style_, name).ext;
    return splitExtension_;
  }
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace zovu
