#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/block_file.h"
#include "platform/file_system.h"
#include "platform/keyboard.h"
#include "platform/output_stream.h"
#include "platform/path_style.h"
#include "platform/status_line.h"

namespace zovu {

// The services of the machine the program runs on, opened once at start-up.
struct System {
  std::unique_ptr<OutputStream> standardOutput;
  std::unique_ptr<OutputStream> standardError;
  // Standard error for the status line alone: it draws only while the process may draw on
  // the terminal (not as a job in the background), and leaves off once the run is being
  // ended from outside (ctrl-C on Windows).
  std::unique_ptr<OutputStream> statusOutput;
  bool standardErrorIsTerminal = false;
  bool standardOutputIsTerminal = false;
  // Standard output goes into a pipe or a socket: another program of the pipeline (a
  // pager) may be using the terminal, so the run leaves it alone: the keyboard never has a
  // key, the terminal's mode is never changed, and no status line is drawn.
  bool standardOutputIsPipe = false;
  unsigned terminalColumns = 80;  // read once at start-up
  // The terminal shows UTF-8 text: on POSIX, the locale's character set is UTF-8; a
  // Windows console is always given UTF-16.
  bool terminalShowsUtf8 = false;
  std::string_view lineEnd = "\n";
  PathStyle pathStyle = PathStyle::kPosix;
  std::unique_ptr<Keyboard> keyboard;
  // Told what the status line on standard error shows; it lives as long as the process.
  StatusLine* statusLine = nullptr;
  std::unique_ptr<FileSystem> fileSystem;
  std::unique_ptr<BlockFileOpener> blockFiles;
  // The running program's own file, or empty when the system cannot tell.
  std::string programPath;
};

System OpenSystem();

// For a run that ends out of its ordinary way (memory ran out): gives the terminal back as
// the handlers of ending signals do, its keyboard settings and the status line blanked.
// Neither of these two allocates.
void GiveTerminalBack();
// Writes text and the system's line end on standard error.
void WriteLineToStandardError(std::string_view text);

}  // namespace zovu
