#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/file_system.h"

namespace zovu {

// The longest line kept; the rest of a longer line is skipped. Far longer than any path
// the system accepts.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Opens a text file for reading line by line; null when it cannot be opened.
std::unique_ptr<LineReader> OpenPosixLineReader(std::string_view path);

}  // namespace zovu
