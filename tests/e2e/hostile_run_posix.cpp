#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <stdexcept>

#include "common/run_process_posix.h"
#include "e2e/hostile_run.h"

namespace zovu::testing {
bool HaveNobody() {
  return ::getpwnam("nobody") != nullptr;
}

ProcessResult RunZovuHostile(const std::vector<std::string>& args, const std::filesystem::path& dir,
                             const HostileRun& how) {
  int outPipe[2] = {-1, -1};
  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (how.output == Output::kPipe || how.output == Output::kPipeWithoutReader) {
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  if (how.output == Output::kPipeWithoutReader) {
    ::close(outPipe[0]);
    outPipe[0] = -1;
  }
  const passwd* nobody = how.asNobody ? ::getpwnam("nobody") : nullptr;
  if (how.asNobody && nobody == nullptr) throw std::runtime_error("no user nobody");
  // The program, or its launcher (Wine) followed by the program.
  std::vector<std::string> words = CommandUnderTest();
  if (how.asNobody) words.back() = ProgramForOtherUsers();
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    switch (how.output) {
      case Output::kPipe:
      case Output::kPipeWithoutReader:
        ::dup2(outPipe[1], STDOUT_FILENO);
        break;
      case Output::kFullDevice: {
        const int full = ::open("/dev/full", O_WRONLY);
        if (full < 0) ::_exit(125);
        ::dup2(full, STDOUT_FILENO);
        break;
      }
      case Output::kClosed:
        ::close(STDOUT_FILENO);
        break;
    }
    ::signal(SIGPIPE, how.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    if (nobody != nullptr && (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                              ::setuid(nobody->pw_uid) != 0)) {
      ::_exit(124);
    }
    // The program starts with its three standard streams only, whatever the test runner
    // left open, so that a limit on open files means the same everywhere.
    ::close_range(3, ~0U, 0);
    const rlimit files{how.fileLimit, how.fileLimit};
    if (how.fileLimit != 0 && ::setrlimit(RLIMIT_NOFILE, &files) != 0) ::_exit(123);
    // A pending alarm survives exec: it ends the program if it hangs.
    ::alarm(how.deadlineSeconds);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  if (outPipe[1] >= 0) ::close(outPipe[1]);
  return FinishChild(pid, outPipe[0], errPipe[0]);
}

}  // namespace zovu::testing
