#include "platform/posix/terminal_mode.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/terminal_signals.h"
#include "platform/posix/terminal_status.h"

namespace zovu::terminal_mode {
namespace {

int terminal = -1;
pid_t ownGroup = 0;
// While modeOn is set: the settings found when the mode was entered, and the ones the
// terminal had once the mode was set.
struct termios saved {};
struct termios ours {};
// Atomic, since a handler may run on any thread.
std::atomic<int> polling{0};
std::atomic<int> modeOn{0};

// Holds the signals whose handlers change the mode, for as long as it lives.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t held = terminal_signals::HeldSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// A process outside the foreground must not touch the terminal: reading would stop it
// with SIGTTIN, changing the settings with SIGTTOU, and both belong to the foreground job.
bool Foreground() {
  const pid_t group = ::tcgetpgrp(terminal);
  return group >= 0 && group == ownGroup;
}

// The same settings, field by field (the structure may hold fields no call fills in).
bool SameSettings(const struct termios& a, const struct termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

bool SingleKey(const struct termios& settings) {
  return (settings.c_lflag & (ICANON | ECHO)) == 0 && settings.c_cc[VMIN] == 1 &&
         settings.c_cc[VTIME] == 0;
}

}  // namespace

bool Open() {
  if (terminal >= 0) return true;
  terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (terminal < 0) return false;
  ownGroup = ::getpgrp();
  std::atexit(GiveBack);
  return true;
}

void Begin() {
  if (terminal < 0) return;
  terminal_signals::Install();
  SignalsHeld held;
  polling = 1;
  Reenter();
}

void End() {
  if (terminal < 0) return;
  SignalsHeld held;
  Leave();
  polling = 0;
}

std::size_t ReadInput(char* buffer, std::size_t size) {
  if (terminal < 0 || polling == 0) return 0;
  SignalsHeld held;
  // A job that a shell brings to the foreground while it runs gets no SIGCONT: the mode
  // is taken up, and the status line drawn, at the first look at the keyboard there.
  if (modeOn == 0) {
    Reenter();
    if (modeOn != 0) terminal_status::RedrawWithheld();
  }
  if (modeOn == 0 || !Foreground()) return 0;
  ssize_t got;
  do {
    got = ::read(terminal, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void GiveBack() {
  SignalsHeld held;
  Leave();
}

void Leave() {
  if (modeOn == 0) return;
  modeOn = 0;
  if (!Foreground()) return;
  struct termios now {};
  if (::tcgetattr(terminal, &now) == 0 && SameSettings(now, ours)) {
    ::tcsetattr(terminal, TCSANOW, &saved);
  }
}

void Reenter() {
  if (terminal < 0 || polling == 0 || !Foreground()) return;
  struct termios now {};
  if (::tcgetattr(terminal, &now) != 0) return;
  // Still on (continued after a stop that could not be caught, and the terminal kept the
  // mode): nothing to do. Otherwise the settings found now are the ones to give back.
  if (modeOn != 0 && SameSettings(now, ours)) return;
  saved = now;
  struct termios singleKey = saved;
  singleKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  singleKey.c_cc[VMIN] = 1;
  singleKey.c_cc[VTIME] = 0;
  if (::tcsetattr(terminal, TCSANOW, &singleKey) != 0) return;
  // The terminal may not take every setting as given, so what it has now is what to look
  // for later; unless it has lost the mode already (stopped right here, and reset).
  if (::tcgetattr(terminal, &ours) != 0 || !SingleKey(ours)) ours = singleKey;
  modeOn = 1;
}

}  // namespace zovu::terminal_mode
