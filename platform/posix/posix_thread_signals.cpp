#include <pthread.h>

#include <initializer_list>

#include "platform/posix/terminal_signals.h"
#include "platform/thread_signals.h"

namespace zovu {

AsyncSignalsHeld::AsyncSignalsHeld() {
  sigset_t held;
  sigfillset(&held);
  for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) {
    sigdelset(&held, fault);
  }
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

AsyncSignalsHeld::~AsyncSignalsHeld() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

ThreadCrashStack::ThreadCrashStack() : stack_(terminal_signals::OwnCrashStack()) {}

ThreadCrashStack::~ThreadCrashStack() {
  terminal_signals::DropCrashStack(stack_);
}

}  // namespace zovu
