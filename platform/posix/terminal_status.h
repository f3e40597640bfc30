#pragma once

#include <memory>

#include "platform/output_stream.h"
#include "platform/status_line.h"

namespace zovu::terminal_status {

// The status line on standard error, as the console last drew it. There is one per
// process, because signal handlers must reach it.
StatusLineRecord& Record();

// For signal handlers and for a run that ran out of memory: they use async-signal-safe
// calls only, and draw only while the process is in the terminal's foreground (or the
// terminal is not its controlling one). Blank blanks the line if it is shown; Redraw
// draws it again whole, as after the process was stopped and continued.
void Blank();
void Redraw();
// Redraws the line if something of it was not drawn (the process was in the background).
void RedrawWithheld();

// The stream the console draws the status line with, on standard error. It draws only
// while the process may, so that a job in the background never draws over the line of
// the one in the foreground, nor blanks what the user types there; once it may draw
// again, it draws the whole line first.
std::unique_ptr<OutputStream> OpenStream();

}  // namespace zovu::terminal_status
