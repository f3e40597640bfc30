#pragma once

namespace zovu {

// The columns a printable character takes on a terminal: 2 for East Asian wide and
// fullwidth characters, 0 for combining marks and invisible format characters, 1 for
// every other. The tables are the program's own: the C library's answer would depend on
// the locale.
int CharacterColumns(char32_t c);

}  // namespace zovu
