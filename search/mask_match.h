#pragma once

#include <cstdint>
#include <string_view>

namespace zovu {

// True when at least one mask of the comma-separated list selects the name. Everything
// from the first ";" on is ignored; an empty mask selects nothing.
bool MatchMaskList(std::string_view name, std::string_view maskList);
// True when the list selects every name whatever it is (as "*.*" does), so that a walk
// need not match names one by one.
bool MatchesEveryName(std::string_view maskList);

// True when one mask selects the name. The name and the mask are each split at their
// last dot into a base and an extension, and the parts are compared separately: a name
// without a dot has an empty extension, a mask without a dot has the extension "*", and
// a mask that starts with its first dot has the base "*".
bool MatchMask(std::string_view name, std::string_view mask);

// True when one name part matches one pattern part: "?" takes exactly one character,
// "*" accepts whatever follows (the rest of the pattern is not looked at), and ASCII
// letters compare without regard to case. Characters are UTF-8; a byte that starts no
// UTF-8 character is one character by itself.
bool WildMatch(std::string_view text, std::string_view pattern);

// The n-th field of s between delimiters: counted from the left for n > 0, from the
// right for n < 0; empty for n = 0 and for a field beyond the last.
std::string_view NthField(std::string_view s, std::string_view delim, std::int16_t n);

}  // namespace zovu
