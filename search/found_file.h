#pragma once

#include <cstdint>
#include <string_view>

#include "platform/directory_tree.h"

namespace zovu {

// One directory entry as the walker hands it to its callback.
struct FoundFile {
  std::string_view Name;  // without any directory part
  std::int64_t Size = 0;  // filled when the callback asks for sizes
  std::uint32_t Attr = 0;
  std::uint32_t Time = 0;  // filled when the callback asks for sizes
  // Filled when the callback asks for the disk usage: the file's device, its inode there
  // and its number of links (Size is then the bytes allocated on disk).
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::uint32_t Links = 1;
};

// Receives every entry that the walk accepts, directories included.
class FileCallback {
 public:
  virtual ~FileCallback() = default;
  // What the callback reads besides the name and the directory bit; a walk that needs
  // no sizes makes no per-file metadata call.
  virtual EntryDetails WantedDetails() const { return EntryDetails::kSizesAndTimes; }
  // Returns false when handling the entry failed.
  virtual bool Item(const FoundFile& file) = 0;
};

// The attribute test: a AND b is not 0, or a equals b, or one is 63 and the other 0.
constexpr bool AttrMatches(std::uint16_t a, std::uint16_t b) {
  return (a & b) != 0 || a == b || (a == kAttrAnyFile && b == 0) || (a == 0 && b == kAttrAnyFile);
}

}  // namespace zovu
