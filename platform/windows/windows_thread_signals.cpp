#include "platform/thread_signals.h"

namespace zovu {

// Windows has no signals to hold: console control events run on a thread of their own.
AsyncSignalsHeld::AsyncSignalsHeld() = default;
AsyncSignalsHeld::~AsyncSignalsHeld() = default;

// No crash handler of the program's runs on Windows, so none needs a stack of its own.
ThreadCrashStack::ThreadCrashStack() = default;
ThreadCrashStack::~ThreadCrashStack() = default;

}  // namespace zovu
