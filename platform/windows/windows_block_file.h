#pragma once

#include "platform/block_file.h"

namespace zovu {

// Byte files through CreateFileW on the wide form of the UTF-8 name.
class WindowsBlockFileOpener final : public BlockFileOpener {
 public:
  std::unique_ptr<BlockFile> Open(std::string_view name) override;
};

}  // namespace zovu
