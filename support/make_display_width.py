#!/usr/bin/env python3
"""Writes support/display_width.cpp: the columns a character takes on a terminal, from
the Unicode character database that Python carries (unicodedata). Run it from the top of
the source tree after a Python upgrade brings a newer Unicode version:

    python3 support/make_display_width.py > support/display_width.cpp
    clang-format -i support/display_width.cpp
"""
import unicodedata

# Code points that count as wide whether assigned yet or not (the CJK ideograph blocks
# and planes 2 and 3).
DEFAULT_WIDE = [(0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF), (0x20000, 0x2FFFD),
                (0x30000, 0x3FFFD)]


def default_wide(cp):
    return any(a <= cp <= b for a, b in DEFAULT_WIDE)


def unassigned(cp):
    return unicodedata.category(chr(cp)) == "Cn" and not default_wide(cp)


def wide(cp):
    if default_wide(cp):
        return True
    return not unassigned(cp) and unicodedata.east_asian_width(chr(cp)) in ("W", "F")


def zero(cp):
    category = unicodedata.category(chr(cp))
    if category in ("Mn", "Me"):  # combining marks
        return True
    if category == "Cf" and cp != 0xAD:  # invisible format characters; the soft hyphen shows
        return True
    # Hangul vowels and final consonants that join the syllable before them.
    return 0x1160 <= cp <= 0x11FF or 0xD7B0 <= cp <= 0xD7FF


def ranges(test):
    found = []
    for cp in range(0x110000):
        if not test(cp):
            continue
        # A gap of unassigned code points is bridged: it keeps the table short.
        if found and all(unassigned(c) for c in range(found[-1][1] + 1, cp)):
            found[-1][1] = cp
        else:
            found.append([cp, cp])
    return found


def table(name, found):
    lines = [f"constexpr Range {name}[] = {{"]
    row = "   "
    for a, b in found:
        cell = f" {{0x{a:X}, 0x{b:X}}},"
        if len(row) + len(cell) > 100:
            lines.append(row)
            row = "   "
        row += cell
    lines.append(row)
    lines.append("};")
    return "\n".join(lines)


print(f"""// Made by support/make_display_width.py from Unicode {unicodedata.unidata_version}; change that script,
// not this file.
#include "support/display_width.h"

#include <algorithm>
#include <iterator>

namespace zovu {{
namespace {{

struct Range {{
  char32_t first;
  char32_t last;
}};

// East Asian wide and fullwidth characters.
{table("kWide", ranges(wide))}

// Combining marks, invisible format characters and joining Hangul vowels and consonants.
{table("kZero", ranges(zero))}

template <std::size_t N>
bool In(const Range (&table)[N], char32_t c) {{
  const Range* after =
      std::upper_bound(std::begin(table), std::end(table), c,
                       [](char32_t value, const Range& range) {{ return value < range.first; }});
  return after != std::begin(table) && c <= std::prev(after)->last;
}}

}}  // namespace

int CharacterColumns(char32_t c) {{
  if (c < 0x300) return 1;  // nothing before the combining marks is wide or zero
  if (In(kZero, c)) return 0;
  return In(kWide, c) ? 2 : 1;
}}

}}  // namespace zovu""")
