#include "platform/posix/terminal_mode.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/terminal_signals.h"

namespace zovu::terminal_mode {
namespace {

int terminal = -1;
pid_t ownGroup = 0;
// The settings found when the mode was entered; they are valid while modeOn is set.
struct termios saved {};
volatile sig_atomic_t polling = 0;
volatile sig_atomic_t modeOn = 0;

// Holds the signals whose handlers change the mode, for as long as it lives.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t held = terminal_signals::HeldSignals();
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
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

void LeaveAtExit() {
  SignalsHeld held;
  Leave();
}

}  // namespace

bool Open() {
  if (terminal >= 0) return true;
  terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (terminal < 0) return false;
  ownGroup = ::getpgrp();
  std::atexit(LeaveAtExit);
  return true;
}

void Begin() {
  if (terminal < 0) return;
  SignalsHeld held;
  terminal_signals::Install();
  polling = 1;
  Reenter();
}

void End() {
  if (terminal < 0) return;
  SignalsHeld held;
  Leave();
  polling = 0;
  terminal_signals::Remove();
}

std::size_t ReadInput(char* buffer, std::size_t size) {
  if (terminal < 0 || polling == 0) return 0;
  SignalsHeld held;
  if (modeOn == 0 || !Foreground()) return 0;
  ssize_t got;
  do {
    got = ::read(terminal, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void Leave() {
  if (modeOn == 0) return;
  modeOn = 0;
  if (Foreground()) ::tcsetattr(terminal, TCSANOW, &saved);
}

void Reenter() {
  if (terminal < 0 || polling == 0 || !Foreground()) return;
  // Already on (continued after a stop that could not be caught): the settings saved
  // then are still the ones to give back; only the mode is set again.
  if (modeOn == 0 && ::tcgetattr(terminal, &saved) != 0) return;
  struct termios singleKey = saved;
  singleKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  singleKey.c_cc[VMIN] = 1;
  singleKey.c_cc[VTIME] = 0;
  if (::tcsetattr(terminal, TCSANOW, &singleKey) == 0) modeOn = 1;
}

}  // namespace zovu::terminal_mode
