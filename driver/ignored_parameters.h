#pragma once

#include "driver/environment.h"
#include "driver/options.h"

namespace zovu {

// Only the first plain parameter is searched. More of them are most often the names
// that the shell made of an unquoted mask, which would give a wrong answer unnoticed:
// writes one line on standard error that says how many were ignored and that masks need
// quotes. Nothing else of the run changes.
void NoteIgnoredParameters(const Parameters& params, Environment& env);

}  // namespace zovu
