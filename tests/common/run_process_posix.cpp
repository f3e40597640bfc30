#include "common/run_process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace zovu::testing {

ProcessResult FinishChild(pid_t pid, int outFd, int errFd) {
  ProcessResult result;
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = (outFd >= 0) + (errFd >= 0);
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  return FinishChild(pid, outPipe[0], errPipe[0]);
}

std::vector<std::string> CommandUnderTest() {
  const char* given = std::getenv("ZOVU_TEST_COMMAND");
  if (given == nullptr || *given == '\0') return {ZOVU_BINARY};
  std::vector<std::string> words;
  std::istringstream split(given);
  for (std::string word; split >> word;) {
    // The program runs in a directory of its own; a relative path would be lost there.
    if (word.find('/') != std::string::npos && word.front() != '/') {
      word = (std::filesystem::current_path() / word).string();
    }
    words.push_back(word);
  }
  return words;
}

ProcessResult RunZovu(const std::vector<std::string>& args, const std::filesystem::path& dir) {
  static const std::vector<std::string> command = CommandUnderTest();
  std::vector<std::string> all(command.begin() + 1, command.end());
  all.insert(all.end(), args.begin(), args.end());
  return RunProcess(command.front(), all, dir);
}

ProcessResult RunZovuFile(const std::filesystem::path& program,
                          const std::vector<std::string>& args, const std::filesystem::path& dir) {
  // The launcher's words, if any, stay; the program file is replaced.
  std::vector<std::string> command = CommandUnderTest();
  command.back() = program.string();
  std::vector<std::string> all(command.begin() + 1, command.end());
  all.insert(all.end(), args.begin(), args.end());
  return RunProcess(command.front(), all, dir);
}

std::filesystem::path ProgramFileUnderTest() {
  return CommandUnderTest().back();
}

std::string ProgramForOtherUsers() {
  namespace fs = std::filesystem;
  static TempDir home;
  static const fs::path copy = [] {
    constexpr fs::perms kEveryoneRuns = fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec;
    const fs::path program = ProgramFileUnderTest();
    const fs::path target = home.path() / program.filename();
    fs::copy_file(program, target);
    fs::permissions(home.path(), kEveryoneRuns);
    fs::permissions(target, kEveryoneRuns);
    return target;
  }();
  return copy.string();
}

bool WindowsBinaryUnderTest() {
  static const bool windows = [] {
    for (std::string word : CommandUnderTest()) {
      for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (word.ends_with(".exe")) return true;
    }
    return false;
  }();
  return windows;
}

std::string WithLineEnds(std::string_view text) {
  if (!WindowsBinaryUnderTest()) return std::string(text);
  std::string converted;
  for (const char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

std::string PathForProgram(const std::filesystem::path& path) {
  if (!WindowsBinaryUnderTest()) return path.string();
  std::string windows = "Z:" + path.string();
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

}  // namespace zovu::testing
