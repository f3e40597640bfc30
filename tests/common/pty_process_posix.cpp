#include "common/pty_process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace zovu::testing {
namespace {

// Only a guard against a program that hangs; a working one ends in well under a second.
constexpr auto kHangGuard = std::chrono::seconds(60);
constexpr int kPollMilliseconds = 10;

int StatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// The ioctl requests behind tcsetattr, with and without waiting or flushing, old and
// new structure: type 'T', numbers 2 to 4 and 0x2B to 0x2D.
bool SetsTerminalAttributes(unsigned long long request) {
  if (((request >> 8) & 0xFF) != 'T') return false;
  const unsigned number = request & 0xFF;
  return (number >= 0x02 && number <= 0x04) || (number >= 0x2B && number <= 0x2D);
}

void Send(int fd, int value) {
  while (::write(fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

[[noreturn]] void ExecProgram(const PtyOptions& options, int output) {
  if (::chdir(options.dir.c_str()) != 0) ::_exit(126);
  if (output >= 0 && ::dup2(output, STDOUT_FILENO) < 0) ::_exit(126);
  if (options.outputClosed) ::close(STDOUT_FILENO);
  const rlimit memory{options.memoryLimit, options.memoryLimit};
  if (options.memoryLimit != 0 && ::setrlimit(RLIMIT_AS, &memory) != 0) ::_exit(126);
  // Whatever the test runner ignored or blocked (a shell's background job ignores
  // SIGINT, say), the program starts with every signal at its default, like a job of an
  // interactive shell.
  for (int signal = 1; signal < NSIG; ++signal) ::signal(signal, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const char* program = options.program.empty() ? ZOVU_BINARY : options.program.c_str();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execvp(program, argv.data());
  ::_exit(127);
}

// The session leader, in the forked child: takes the terminal, starts the job in a
// process group of its own (in the foreground if asked), sends the job's process id and
// then every change of its state as a wait status. The job starts when the test has
// written a byte to go. A program that leads the session itself just sends its own id.
[[noreturn]] void RunLeader(const PtyOptions& options, int slave, int events, int go, int output) {
  if (options.job == PtyJob::kNoControllingTerminal) {
    if (::setsid() < 0) ::_exit(126);
    for (int fd = 0; fd <= 2; ++fd) ::dup2(slave, fd);
    ::close(slave);
  } else if (::login_tty(slave) != 0) {
    ::_exit(126);
  }
  if (options.job == PtyJob::kSessionLeader) {
    Send(events, ::getpid());
    char byte;
    while (::read(go, &byte, 1) < 0 && errno == EINTR) {
    }
    ExecProgram(options, output);
  }
  const pid_t job = ::fork();
  if (job < 0) ::_exit(126);
  if (job == 0) {
    ::setpgid(0, 0);
    char byte;
    while (::read(go, &byte, 1) < 0 && errno == EINTR) {
    }
    ExecProgram(options, output);
  }
  if (output >= 0) ::close(output);
  ::setpgid(job, job);
  if (options.job == PtyJob::kForeground) ::tcsetpgrp(STDIN_FILENO, job);
  Send(events, job);
  for (;;) {
    int status = 0;
    if (::waitpid(job, &status, WUNTRACED | WCONTINUED) < 0) {
      if (errno == EINTR) continue;
      ::_exit(126);
    }
    if (WIFSTOPPED(status) && options.job == PtyJob::kBackground) {
      ::kill(job, SIGKILL);
      ::waitpid(job, nullptr, 0);
      status = kStoppedInBackground << 8;  // as if it had exited with that code
    }
    Send(events, status);
    if (!WIFSTOPPED(status) && !WIFCONTINUED(status)) ::_exit(0);
  }
}

}  // namespace

PtyProcess::PtyProcess(const PtyOptions& options) {
  struct winsize size {};
  size.ws_col = options.columns;
  size.ws_row = 24;
  int events[2];
  int go[2];
  int output[2] = {-1, -1};
  if (::openpty(&master_, &slave_, nullptr, nullptr, &size) != 0 ||
      ::pipe2(events, O_CLOEXEC) != 0 || ::pipe2(go, O_CLOEXEC) != 0 ||
      (options.outputToPipe && ::pipe2(output, O_CLOEXEC | O_NONBLOCK) != 0)) {
    throw std::runtime_error("openpty or pipe failed");
  }
  pipe_ = output[0];
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!options.echo) {
    struct termios settings = Attributes();
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(slave_, TCSANOW, &settings);
  }
  settingsAtStart_ = Settings();
  attributesAtStart_ = Attributes();
  Type(options.typedAhead);
  leader_ = ::fork();
  if (leader_ < 0) throw std::runtime_error("fork failed");
  if (leader_ == 0) {
    ::close(master_);
    ::close(events[0]);
    ::close(go[1]);
    if (pipe_ >= 0) ::close(pipe_);
    RunLeader(options, slave_, events[1], go[0], output[1]);
  }
  if (output[1] >= 0) ::close(output[1]);
  ::close(events[1]);
  ::close(go[0]);
  events_ = events[0];
  selfLed_ = options.job == PtyJob::kSessionLeader;
  // Nothing of a half-started run may outlive a failure here: no destructor would run.
  auto fail = [this, &go](const char* what) {
    ::close(go[1]);
    Kill();
    ::close(events_);
    ::close(master_);
    ::close(slave_);
    if (pipe_ >= 0) ::close(pipe_);
    throw std::runtime_error(what);
  };
  if (::read(events_, &pid_, sizeof pid_) != sizeof pid_) {
    pid_ = -1;
    fail("the session leader did not start the program");
  }
  ::fcntl(events_, F_SETFL, ::fcntl(events_, F_GETFL) | O_NONBLOCK);
  if (options.traced) {
    // Stopped while it waits to start; from then on every system call stops it too.
    if (::ptrace(PTRACE_SEIZE, pid_, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0 ||
        ::ptrace(PTRACE_INTERRUPT, pid_, nullptr, nullptr) != 0) {
      fail("ptrace failed");
    }
    int status = 0;
    while (::waitpid(pid_, &status, __WALL) < 0 && errno == EINTR) {
    }
    tracing_ = true;
  }
  Send(go[1], 0);
  ::close(go[1]);
}

PtyProcess::~PtyProcess() {
  Kill();
  ::close(events_);
  ::close(master_);
  ::close(slave_);
  if (pipe_ >= 0) ::close(pipe_);
}

std::string PtyProcess::Settings() const {
  const struct termios t = Attributes();
  std::string text;
  char field[48];
  for (const unsigned long flags : {t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag}) {
    std::snprintf(field, sizeof field, "%lx:", flags);
    text += field;
  }
  for (const cc_t c : t.c_cc) {
    std::snprintf(field, sizeof field, "%x:", static_cast<unsigned>(c));
    text += field;
  }
  std::snprintf(field, sizeof field, "%lx:%lx", static_cast<unsigned long>(cfgetispeed(&t)),
                static_cast<unsigned long>(cfgetospeed(&t)));
  return text + field;
}

struct termios PtyProcess::Attributes() const {
  struct termios settings {};
  if (::tcgetattr(slave_, &settings) != 0) throw std::runtime_error("tcgetattr failed");
  return settings;
}

void PtyProcess::ResetSettings() {
  SetAttributes(attributesAtStart_);
}

void PtyProcess::SetAttributes(const struct termios& settings) {
  ::tcsetattr(slave_, TCSANOW, &settings);
}

void PtyProcess::Type(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(master_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw std::runtime_error("writing to the terminal failed");
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void PtyProcess::Signal(int signal) {
  if (!exited_) ::kill(pid_, signal);
}

bool PtyProcess::StopAfterSettingsChange() {
  if (!tracing_) return false;
  const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
  bool insideSettingsCall = false;
  int passOn = 0;  // a signal that stopped the program, handed on to it
  for (;;) {
    if (::ptrace(PTRACE_SYSCALL, pid_, nullptr, passOn) != 0) return false;
    passOn = 0;
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(pid_, &status, WNOHANG | __WALL)) == 0) {
      ReadAvailable();
      if (std::chrono::steady_clock::now() > deadline) {
        timedOut_ = true;
        Kill();
        return false;
      }
      ::poll(nullptr, 0, 1);
    }
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WIFSTOPPED(status)) {
      tracing_ = false;
      if (selfLed_) leaderReaped_ = true;
      Record(status);
      return false;
    }
    if ((status >> 16) != 0) continue;  // a ptrace event, not a signal
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      passOn = WSTOPSIG(status);
      continue;
    }
    struct __ptrace_syscall_info info {};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof info, &info) <= 0) return false;
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY && info.entry.nr == SYS_write &&
        info.entry.args[0] == STDOUT_FILENO) {
      ReleaseWithSignal(0);
      return false;
    }
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
      insideSettingsCall = info.entry.nr == SYS_ioctl && SetsTerminalAttributes(info.entry.args[1]);
    } else if (info.op == PTRACE_SYSCALL_INFO_EXIT && insideSettingsCall) {
      return true;
    }
  }
}

void PtyProcess::ReleaseWithSignal(int signal) {
  if (!tracing_) return;
  if (signal != 0) ::kill(pid_, signal);
  ::ptrace(PTRACE_DETACH, pid_, nullptr, 0);
  tracing_ = false;
}

template <typename Done>
bool PtyProcess::Pump(Done done) {
  ReleaseWithSignal(0);
  const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
  for (;;) {
    if (selfLed_) {
      ReapSelfLed();
    } else {
      ReadEvents();
    }
    ReadAvailable();
    if (done()) return true;
    if (exited_) return false;
    if (std::chrono::steady_clock::now() > deadline) {
      timedOut_ = true;
      Kill();
      return false;
    }
    pollfd wait[2] = {{master_, POLLIN, 0}, {events_, POLLIN, 0}};
    ::poll(wait, 2, kPollMilliseconds);
  }
}

bool PtyProcess::WaitUntilStopped() {
  return Pump([this] { return stopped_; });
}

bool PtyProcess::WaitUntilContinued() {
  return Pump([this] { return !stopped_; });
}

bool PtyProcess::WaitForOutput(std::string_view text) {
  return Pump([this, text] { return output_.find(text) != std::string::npos; });
}

int PtyProcess::Finish() {
  Pump([this] { return exited_; });
  return exitStatus_;
}

void PtyProcess::ReadAvailable() {
  char buffer[4096];
  while (pipe_ >= 0) {
    const ssize_t got = ::read(pipe_, buffer, sizeof buffer);
    if (got > 0) {
      pipedOutput_.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  for (;;) {
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got > 0) {
      output_.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // nothing more now (EAGAIN), or the terminal is gone
    }
  }
}

void PtyProcess::ReadEvents() {
  int status = 0;
  for (;;) {
    const ssize_t got = ::read(events_, &status, sizeof status);
    if (got == sizeof status) {
      Record(status);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      if (got == 0 && !exited_) Record(W_EXITCODE(126, 0));  // the leader is gone
      return;
    }
  }
}

void PtyProcess::ReapSelfLed() {
  while (!leaderReaped_) {
    int status = 0;
    const pid_t got = ::waitpid(leader_, &status, WNOHANG | WUNTRACED | WCONTINUED);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    if (!WIFSTOPPED(status) && !WIFCONTINUED(status)) leaderReaped_ = true;
    Record(status);
  }
}

void PtyProcess::Record(int waitStatus) {
  if (exited_) return;
  if (WIFSTOPPED(waitStatus)) {
    stopped_ = true;
  } else if (WIFCONTINUED(waitStatus)) {
    stopped_ = false;
  } else {
    exited_ = true;
    exitStatus_ = StatusOf(waitStatus);
    // Written before the program ended, and read only now: the terminal hands on the
    // program's last output when asked for more.
    ReadAvailable();
  }
}

void PtyProcess::Kill() {
  if (leader_ <= 0 || leaderReaped_) return;
  if (!exited_ && pid_ > 0) ::kill(pid_, SIGKILL);
  exited_ = true;
  ::kill(leader_, SIGKILL);
  while (::waitpid(leader_, nullptr, 0) < 0 && errno == EINTR) {
  }
  leaderReaped_ = true;
  tracing_ = false;
}

PtyResult RunZovuOnPty(const PtyOptions& options) {
  PtyProcess process(options);
  PtyResult result;
  result.exitStatus = process.Finish();
  result.output = process.Output();
  result.settingsBefore = process.SettingsAtStart();
  result.settingsAfter = process.Settings();
  result.timedOut = process.TimedOut();
  return result;
}

}  // namespace zovu::testing
