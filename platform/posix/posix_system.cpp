#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/no_keyboard.h"
#include "platform/posix/posix_block_file.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_keyboard.h"
#include "platform/posix/posix_output_stream.h"
#include "platform/posix/posix_program_path.h"
#include "platform/posix/terminal_mode.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_status.h"
#include "platform/system.h"

namespace zovu {
namespace {

constexpr std::string_view kLineEnd = "\n";

unsigned TerminalColumns(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const long value = std::strtol(columns, nullptr, 10);
    if (value > 0) return static_cast<unsigned>(value);
  }
  return 80;
}

// The character set of the locale's character class, as the C library chooses the locale:
// the first of LC_ALL, LC_CTYPE and LANG that is set and not empty; without any, the "C"
// locale, which is ASCII.
bool LocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string charset(value);
    for (char& c : charset) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    // The character set follows the dot, up to a modifier: "en_US.UTF-8@euro".
    const std::size_t dot = charset.find('.');
    if (dot == std::string::npos) return false;
    charset = charset.substr(dot + 1, charset.find('@', dot) - dot - 1);
    return charset == "utf-8" || charset == "utf8";
  }
  return false;
}

bool IsPipeOrSocket(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

// A standard descriptor closed at start gets a stand-in, so that no file opened later
// (the terminal, a list file, the settings file) takes its number and the text meant for
// it: /dev/null opened for reading only, on which a write fails as on the closed one.
void StandInIfClosed(int fd) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
  for (const char* name : {"/dev/null", "/"}) {
    const int opened = ::open(name, O_RDONLY | O_CLOEXEC);
    if (opened == fd) return;  // the lowest free number: this one
    if (opened < 0) continue;
    const int moved = ::dup2(opened, fd);
    ::close(opened);
    if (moved == fd) return;
  }
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

System OpenSystem() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) StandInIfClosed(fd);
  System system;
  system.standardOutput = std::make_unique<PosixOutputStream>(STDOUT_FILENO);
  system.standardError = std::make_unique<PosixOutputStream>(STDERR_FILENO);
  system.statusOutput = terminal_status::OpenStream();
  system.standardErrorIsTerminal = ::isatty(STDERR_FILENO) == 1;
  system.standardOutputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
  system.standardOutputIsPipe = IsPipeOrSocket(STDOUT_FILENO);
  system.terminalColumns = TerminalColumns(STDERR_FILENO);
  system.terminalShowsUtf8 = LocaleIsUtf8();
  system.lineEnd = kLineEnd;
  system.pathStyle = PathStyle::kPosix;
  if (system.standardOutputIsPipe) {
    system.keyboard = std::make_unique<NoKeyboard>();
  } else {
    system.keyboard = std::make_unique<PosixKeyboard>();
    if (system.standardErrorIsTerminal) terminal_signals::Install();
  }
  system.statusLine = &terminal_status::Record();
  system.fileSystem = std::make_unique<PosixFileSystem>();
  system.blockFiles = std::make_unique<PosixBlockFileOpener>();
  system.programPath = PosixProgramPath();
  return system;
}

void GiveTerminalBack() {
  terminal_mode::GiveBack();
  terminal_status::Blank();
}

void WriteLineToStandardError(std::string_view text) {
  WriteAll(STDERR_FILENO, text);
  WriteAll(STDERR_FILENO, kLineEnd);
}

}  // namespace zovu
