#include "platform/posix/terminal_signals.h"

#include <cerrno>
#include <initializer_list>

#include "platform/posix/terminal_mode.h"

namespace zovu::terminal_signals {
namespace {

struct Slot {
  int signal;
  void (*handler)(int);
  struct sigaction previous;
  bool installed;
};

void OnEnd(int signal);
void OnStop(int signal);
void OnContinue(int signal);

Slot slots[] = {
    {SIGINT, OnEnd, {}, false}, {SIGQUIT, OnEnd, {}, false},  {SIGTERM, OnEnd, {}, false},
    {SIGHUP, OnEnd, {}, false}, {SIGTSTP, OnStop, {}, false}, {SIGCONT, OnContinue, {}, false},
};

struct sigaction OwnAction(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = HeldSignals();
  action.sa_flags = SA_RESTART;
  return action;
}

sigset_t Only(int signal) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  return set;
}

// Takes the signal's default action now: stops or ends the process.
void RaiseWithDefault(int signal) {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  const sigset_t only = Only(signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  sigprocmask(SIG_BLOCK, &only, nullptr);
}

void OnEnd(int signal) {
  const int savedErrno = errno;
  terminal_mode::Leave();
  RaiseWithDefault(signal);
  errno = savedErrno;
}

void OnStop(int signal) {
  const int savedErrno = errno;
  terminal_mode::Leave();
  RaiseWithDefault(signal);
  // Continued, or never stopped (an orphaned process group ignores the stop): catch the
  // next stop too, and take the mode up again if still in the foreground.
  const struct sigaction own = OwnAction(OnStop);
  sigaction(signal, &own, nullptr);
  terminal_mode::Reenter();
  errno = savedErrno;
}

void OnContinue(int) {
  const int savedErrno = errno;
  terminal_mode::Reenter();
  errno = savedErrno;
}

bool Ignored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

void Install() {
  for (Slot& slot : slots) {
    if (slot.installed || sigaction(slot.signal, nullptr, &slot.previous) != 0) continue;
    // Ignored (say, by a shell without job control for its background jobs): leave it so.
    if (slot.signal != SIGCONT && Ignored(slot.previous)) continue;
    const struct sigaction own = OwnAction(slot.handler);
    slot.installed = sigaction(slot.signal, &own, nullptr) == 0;
  }
}

void Remove() {
  for (Slot& slot : slots) {
    if (!slot.installed) continue;
    sigaction(slot.signal, &slot.previous, nullptr);
    slot.installed = false;
  }
}

sigset_t HeldSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU}) {
    sigaddset(&set, signal);
  }
  return set;
}

}  // namespace zovu::terminal_signals
