#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zovu {

// Text crosses the Windows boundary here: the program keeps UTF-8, the system calls
// take UTF-16. File names may hold unpaired surrogates, which no UTF-8 can carry; they
// travel as three-byte sequences of their own (the "generalised UTF-8" rule), so every
// name the system hands out converts back to exactly the same name.
// Every byte that starts no character (support/utf8.h) becomes one U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// As Utf8FromWide, appending to out, so that a buffer can serve name after name.
void AppendUtf8FromWide(std::string& out, std::wstring_view text);

// The length of a sequence cut short at the end of text (0 when there is none), so
// that a writer can hold it back until the rest arrives.
std::size_t IncompleteUtf8Tail(std::string_view text);

}  // namespace zovu
