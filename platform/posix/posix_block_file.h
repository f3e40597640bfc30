#pragma once

#include "platform/block_file.h"

namespace zovu {

class PosixBlockFileOpener final : public BlockFileOpener {
 public:
  std::unique_ptr<BlockFile> Open(std::string_view name) override;
};

}  // namespace zovu
