#pragma once

#include <signal.h>

namespace zovu::terminal_signals {

// Handlers that give the terminal its settings back when SIGINT, SIGQUIT, SIGTERM or
// SIGHUP end the process or SIGTSTP stops it, each signal then taking its default action,
// and that take the single-key mode up again on SIGCONT. A signal that was ignored stays
// ignored.
void Install();
// Puts back the dispositions that Install found.
void Remove();

// The signals whose handlers touch the terminal, and SIGTTIN and SIGTTOU. Holding them
// keeps a handler from running half way through a change of the mode, and keeps the
// terminal from stopping the process if it goes to the background in that moment.
sigset_t HeldSignals();

}  // namespace zovu::terminal_signals
