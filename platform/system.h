#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/block_file.h"
#include "platform/file_system.h"
#include "platform/keyboard.h"
#include "platform/output_stream.h"
#include "platform/path_style.h"

namespace zovu {

// The services of the machine the program runs on, opened once at start-up.
struct System {
  std::unique_ptr<OutputStream> standardOutput;
  std::unique_ptr<OutputStream> standardError;
  bool standardErrorIsTerminal = false;
  bool standardOutputIsTerminal = false;
  unsigned terminalColumns = 80;  // read once at start-up
  std::string_view lineEnd = "\n";
  PathStyle pathStyle = PathStyle::kPosix;
  std::unique_ptr<Keyboard> keyboard;
  std::unique_ptr<FileSystem> fileSystem;
  std::unique_ptr<BlockFileOpener> blockFiles;
  // The running program's own file, or empty when the system cannot tell.
  std::string programPath;
};

System OpenSystem();

}  // namespace zovu
