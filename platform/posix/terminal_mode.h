#pragma once

#include <cstddef>

namespace zovu::terminal_mode {

// The controlling terminal's single-key mode (no line editing, no echo) that a search
// polls the keyboard in. There is one per process, because signal handlers must reach
// it. The terminal is touched only while the process is in its foreground process
// group, so that the process never stops on SIGTTIN or SIGTTOU through its own doing.
// Settings are given back only if the terminal still has the ones put there: a program
// that changed them meanwhile (a pager sharing the terminal) keeps its own.

// Opens the controlling terminal; false when the process has none.
bool Open();

// A search begins polling: enters the mode now if the process is in the foreground, or
// when a job control shell continues it in the foreground (SIGCONT). The settings found
// are given back by End, at exit, and on signals that end or stop the process.
void Begin();
void End();

// Reads what the keyboard has sent, without waiting; 0 when nothing came, when no search
// polls, or when the process is not in the terminal's foreground.
std::size_t ReadInput(char* buffer, std::size_t size);

// Gives the settings back now, with the signals that change the mode held meanwhile: for
// a run that ends out of its ordinary way.
void GiveBack();

// For signal handlers, which may call only these: they use async-signal-safe calls only.
// Leave gives the settings back (a stop, an ending), Reenter takes the mode up again if a
// search polls and the process is in the foreground.
void Leave();
void Reenter();

}  // namespace zovu::terminal_mode
