#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/posix_block_file.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_keyboard.h"
#include "platform/posix/posix_output_stream.h"
#include "platform/posix/posix_program_path.h"
#include "platform/system.h"

namespace zovu {
namespace {

unsigned TerminalColumns(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const long value = std::strtol(columns, nullptr, 10);
    if (value > 0) return static_cast<unsigned>(value);
  }
  return 80;
}

}  // namespace

System OpenSystem() {
  System system;
  system.standardOutput = std::make_unique<PosixOutputStream>(STDOUT_FILENO);
  system.standardError = std::make_unique<PosixOutputStream>(STDERR_FILENO);
  system.standardErrorIsTerminal = ::isatty(STDERR_FILENO) == 1;
  system.standardOutputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
  system.terminalColumns = TerminalColumns(STDERR_FILENO);
  system.lineEnd = "\n";
  system.pathStyle = PathStyle::kPosix;
  system.keyboard = std::make_unique<PosixKeyboard>();
  system.fileSystem = std::make_unique<PosixFileSystem>();
  system.blockFiles = std::make_unique<PosixBlockFileOpener>();
  system.programPath = PosixProgramPath();
  return system;
}

}  // namespace zovu
