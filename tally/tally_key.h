#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zovu {

// How a file's extension becomes its key: its first three characters (the table's own
// key), or the whole extension after the last dot.
enum class KeyRule { kThreeCharacters, kWholeExtension };

inline constexpr std::size_t kTallyKeyCharacters = 3;

// The key of an extension text (without its dot), upper-cased by the ASCII rule: the whole
// text, or its first three characters. Characters are UTF-8 characters when the text is
// well-formed UTF-8, so a multi-byte character is never split, and bytes otherwise. Keys
// of three characters take at most twelve bytes, and so never allocate.
std::string MakeTallyKey(std::string_view text, KeyRule rule = KeyRule::kThreeCharacters);

}  // namespace zovu
