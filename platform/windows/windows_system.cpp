#include <windows.h>

#include "platform/no_keyboard.h"
#include "platform/system.h"
#include "platform/windows/windows_block_file.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_keyboard.h"
#include "platform/windows/windows_output_stream.h"
#include "platform/windows/windows_program_path.h"

namespace zovu {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Kept for the way out of a run that ran out of memory, or ended by ctrl-C.
StatusLineRecord statusLineRecord;
// The status line's writes and the ctrl-C handler, which runs on a thread of its own,
// take turns; once the handler has blanked the line, nothing draws it again.
SRWLOCK statusTurn = SRWLOCK_INIT;
bool statusEnded = false;

bool IsPipe(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) == FILE_TYPE_PIPE;
}

// Plain bytes, without the conversion a console stream needs memory for: only text that
// is the same in every code page goes this way.
void WriteBytes(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

// The visible width of the console window, not of its scroll-back buffer.
unsigned ConsoleColumns(HANDLE handle) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(handle, &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<unsigned>(columns);
  }
  return 80;
}

void BlankStatusLine() {
  if (const StatusLineRecord::Version* shown = statusLineRecord.Current()) {
    WriteBytes(GetStdHandle(STD_ERROR_HANDLE), std::string_view(shown->blank, shown->blankSize));
    statusLineRecord.Blanked();
  }
}

class StatusStream final : public OutputStream {
 public:
  explicit StatusStream(HANDLE handle) : stream_(handle) {}
  bool Write(std::string_view text) override {
    AcquireSRWLockExclusive(&statusTurn);
    const bool written = statusEnded || stream_.Write(text);
    ReleaseSRWLockExclusive(&statusTurn);
    return written;
  }

 private:
  WindowsOutputStream stream_;
};

// ctrl-C and ctrl-Break blank the status line, as the interrupt signal does on POSIX;
// the system's own handler then ends the process.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    AcquireSRWLockExclusive(&statusTurn);
    statusEnded = true;
    BlankStatusLine();
    ReleaseSRWLockExclusive(&statusTurn);
  }
  return FALSE;
}

std::unique_ptr<Keyboard> OpenKeyboard() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    return std::make_unique<NoKeyboard>();
  }
  return std::make_unique<WindowsKeyboard>(input);
}

}  // namespace

System OpenSystem() {
  System system;
  const HANDLE errorHandle = GetStdHandle(STD_ERROR_HANDLE);
  auto standardError = std::make_unique<WindowsOutputStream>(errorHandle);
  system.standardErrorIsTerminal = standardError->IsConsole();
  auto standardOutput = std::make_unique<WindowsOutputStream>(GetStdHandle(STD_OUTPUT_HANDLE));
  system.standardOutputIsTerminal = standardOutput->IsConsole();
  // A pipe (or a socket) may lead to a program that uses the console itself.
  system.standardOutputIsPipe = IsPipe(GetStdHandle(STD_OUTPUT_HANDLE));
  system.standardOutput = std::move(standardOutput);
  system.standardError = std::move(standardError);
  system.statusOutput = std::make_unique<StatusStream>(errorHandle);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  system.terminalColumns = ConsoleColumns(errorHandle);
  // Text goes to a console as UTF-16 (WriteConsoleW), whatever its code page.
  system.terminalShowsUtf8 = true;
  system.lineEnd = kLineEnd;
  system.pathStyle = PathStyle::kWindows;
  if (system.standardOutputIsPipe) {
    system.keyboard = std::make_unique<NoKeyboard>();
  } else {
    system.keyboard = OpenKeyboard();
  }
  system.statusLine = &statusLineRecord;
  system.fileSystem = std::make_unique<WindowsFileSystem>();
  system.blockFiles = std::make_unique<WindowsBlockFileOpener>();
  system.programPath = WindowsProgramPath();
  return system;
}

void GiveTerminalBack() {
  // The console's input mode is never changed; only the status line is left to blank.
  BlankStatusLine();
}

void WriteLineToStandardError(std::string_view text) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  WriteBytes(handle, text);
  WriteBytes(handle, kLineEnd);
}

}  // namespace zovu
