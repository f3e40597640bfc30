#pragma once

#include <signal.h>

namespace zovu::terminal_signals {

// Handlers that give the terminal back whenever a signal ends or stops the process: the
// keyboard's settings and, on SIGINT, SIGTERM and SIGHUP, the status line blanked. Each
// signal then takes its default action: every signal whose default ends the process, the
// crash signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS) and the stops
// (SIGTSTP, SIGTTIN, SIGTTOU). SIGCONT takes the single-key mode up again and draws the
// status line again. A signal that was ignored stays ignored. Installed once, for the
// rest of the run; the handlers may run on any thread. The calling thread gets an
// alternate signal stack (see OwnCrashStack) for good.
void Install();

// Crash handlers run on the thread's alternate signal stack, so that they run even when
// its own stack has overflowed; each thread needs one of its own. Gives the calling
// thread one, once the handlers are installed and unless it has one already (a
// sanitizer's); returns what DropCrashStack takes back when the thread is done with it.
void* OwnCrashStack();
void DropCrashStack(void* stack);

// The signals whose handlers touch the terminal, and SIGTTIN and SIGTTOU. Holding them
// keeps a handler from running half way through a change of the mode, and keeps the
// terminal from stopping the process if it goes to the background in that moment. (A
// fault while they are held ends the process at once; the calls made then cannot fault.)
sigset_t HeldSignals();

}  // namespace zovu::terminal_signals
