#pragma once

#include "support/console.h"
#include "tally/report/report.h"

namespace zovu {

// Each writes the whole report in its format; the errors line is part of it.

// The boxed table of counts or, with -T, byte totals, and the match line; the errors
// line stands before the table.
void WriteBoxReport(Console& console, const Report& report);
// A table for people: each key's files and bytes with their shares and a bar of the
// bytes, a total row and the match line; the errors line stands before it.
void WriteListReport(Console& console, const Report& report);
// Data for scripts, with nothing else on standard output: the errors line goes to
// standard error.
void WriteCsvReport(Console& console, const Report& report);
void WriteJsonReport(Console& console, const Report& report);

}  // namespace zovu
