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

// The visible width of the console window, not of its scroll-back buffer.
unsigned ConsoleColumns(HANDLE handle) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(handle, &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<unsigned>(columns);
  }
  return 80;
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
  system.standardOutput = std::move(standardOutput);
  system.standardError = std::move(standardError);
  system.terminalColumns = ConsoleColumns(errorHandle);
  system.lineEnd = "\r\n";
  system.pathStyle = PathStyle::kWindows;
  system.keyboard = OpenKeyboard();
  system.fileSystem = std::make_unique<WindowsFileSystem>();
  system.blockFiles = std::make_unique<WindowsBlockFileOpener>();
  system.programPath = WindowsProgramPath();
  return system;
}

}  // namespace zovu
