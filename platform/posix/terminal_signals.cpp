#include "platform/posix/terminal_signals.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>

#include "platform/posix/terminal_mode.h"
#include "platform/posix/terminal_status.h"

namespace zovu::terminal_signals {
namespace {

// Ending signals after which the status line is left blank: the ways a user ends a run.
constexpr int kBlankingEnds[] = {SIGINT, SIGTERM, SIGHUP};
// The other signals whose default action ends the process, real-time ones aside.
constexpr int kOtherEnds[] = {
    SIGQUIT,   SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPIPE, SIGIO,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
// Raised by a fault of the program itself, or by abort().
constexpr int kCrashes[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS};

// Room enough for a handler that gives the terminal back, and for the system's own needs.
constexpr std::size_t kCrashStackBytes = 64 * 1024;

bool installed = false;
struct sigaction previous[NSIG];

template <std::size_t N>
bool IsOneOf(int signal, const int (&signals)[N]) {
  for (const int s : signals) {
    if (s == signal) return true;
  }
  return false;
}

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
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  pthread_sigmask(SIG_BLOCK, &only, nullptr);
}

void OnEnd(int signal) {
  const int savedErrno = errno;
  if (IsOneOf(signal, kBlankingEnds)) terminal_status::Blank();
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
  terminal_status::Redraw();
  errno = savedErrno;
}

// The terminal is given back, then whatever took the signal before (the default action,
// or a sanitizer's report) takes it: a fault of the program strikes again once the handler
// returns, and a signal that was sent is sent again.
void OnCrash(int signal, siginfo_t* info, void*) {
  const int savedErrno = errno;
  terminal_mode::Leave();
  sigaction(signal, &previous[signal], nullptr);
  if (info == nullptr || info->si_code <= 0) raise(signal);
  errno = savedErrno;
}

struct sigaction CrashAction() {
  struct sigaction action {};
  action.sa_sigaction = OnCrash;
  action.sa_mask = HeldSignals();
  // On the alternate stack when there is one, so that a sanitizer's overflow report stays.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  return action;
}

bool Ignored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

void InstallOne(int signal, const struct sigaction& own) {
  if (sigaction(signal, nullptr, &previous[signal]) != 0) return;
  // Ignored (say, by a shell without job control for its background jobs): leave it so.
  if (signal != SIGCONT && Ignored(previous[signal])) return;
  sigaction(signal, &own, nullptr);
}

template <typename Each>
void ForEachEnd(Each each) {
  for (const int signal : kBlankingEnds) each(signal);
  for (const int signal : kOtherEnds) each(signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) each(signal);
}

}  // namespace

void Install() {
  if (installed) return;
  installed = true;
  OwnCrashStack();  // the main thread's, kept for the rest of the run
  const struct sigaction end = OwnAction(OnEnd);
  ForEachEnd([&end](int signal) { InstallOne(signal, end); });
  // Every stop: sent by kill, SIGTTIN and SIGTTOU stop a process in the foreground too.
  for (const int signal : {SIGTSTP, SIGTTIN, SIGTTOU}) InstallOne(signal, OwnAction(OnStop));
  InstallOne(SIGCONT, OwnAction(OnContinue));
  const struct sigaction crash = CrashAction();
  for (const int signal : kCrashes) InstallOne(signal, crash);
}

sigset_t HeldSignals() {
  sigset_t set;
  sigemptyset(&set);
  ForEachEnd([&set](int signal) { sigaddset(&set, signal); });
  for (const int signal : kCrashes) sigaddset(&set, signal);
  for (const int signal : {SIGTSTP, SIGCONT, SIGTTIN, SIGTTOU}) sigaddset(&set, signal);
  return set;
}

void* OwnCrashStack() {
  stack_t current{};
  if (!installed || sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) {
    return nullptr;
  }
  stack_t own{};
  own.ss_size = std::max(kCrashStackBytes, static_cast<std::size_t>(SIGSTKSZ));
  own.ss_sp = std::malloc(own.ss_size);
  if (own.ss_sp != nullptr && sigaltstack(&own, nullptr) != 0) {
    std::free(own.ss_sp);
    return nullptr;
  }
  return own.ss_sp;
}

void DropCrashStack(void* stack) {
  if (stack == nullptr) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  sigaltstack(&off, nullptr);
  std::free(stack);
}

}  // namespace zovu::terminal_signals
