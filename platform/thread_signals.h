#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace zovu {

// While it lives, the signals that reach a process from outside (keys typed at the
// terminal, timers, kill) are held in the calling thread, so that the threads it starts
// meanwhile inherit them held and never take them: the thread that watches the terminal
// takes them all. Signals that a fault raises stay with the thread that faulted.
class AsyncSignalsHeld {
 public:
  AsyncSignalsHeld();
  ~AsyncSignalsHeld();
  AsyncSignalsHeld(const AsyncSignalsHeld&) = delete;
  AsyncSignalsHeld& operator=(const AsyncSignalsHeld&) = delete;

 private:
#ifndef _WIN32
  sigset_t previous_;
#endif
};

// While it lives, the calling thread has an alternate signal stack of its own where the
// program's crash handlers need one, so that they run even when its stack overflowed.
class ThreadCrashStack {
 public:
  ThreadCrashStack();
  ~ThreadCrashStack();
  ThreadCrashStack(const ThreadCrashStack&) = delete;
  ThreadCrashStack& operator=(const ThreadCrashStack&) = delete;

 private:
  void* stack_ = nullptr;
};

}  // namespace zovu
