#include "platform/thread_signals.h"

namespace zovu {

// Windows has no signals to hold: console control events run on a thread of their own.
AsyncSignalsHeld::AsyncSignalsHeld() = default;
AsyncSignalsHeld::~AsyncSignalsHeld() = default;

}  // namespace zovu
