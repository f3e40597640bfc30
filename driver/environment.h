#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/block_file.h"
#include "platform/file_system.h"
#include "platform/keyboard.h"
#include "platform/output_stream.h"
#include "platform/path_style.h"
#include "support/console.h"

namespace zovu {

// What a run needs from the machine, handed in so that tests can fake it.
struct Environment {
  Console& console;
  FileSystem& fileSystem;
  Keyboard& keyboard;
  PathStyle pathStyle = PathStyle::kPosix;
  std::chrono::nanoseconds keyboardInterval = std::chrono::nanoseconds::zero();
  std::string executablePath;             // names the configuration file that -W writes
  BlockFileOpener* blockFiles = nullptr;  // null: -W cannot save
  OutputStream* notes = nullptr;          // standard error, for notes that leave the run as it is
  // ZOVU_THREADS as set, or empty: how many threads walk (1: the main thread alone).
  std::string threadSetting;
};

}  // namespace zovu
