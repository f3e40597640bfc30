#pragma once

#include <memory>
#include <string_view>

#include "platform/file_system.h"

namespace zovu {

// Opens a text file for reading line by line.
OpenedTextFile OpenPosixLineReader(std::string_view path);

}  // namespace zovu
