#pragma once

#include <string>

namespace zovu {

// The system's words for an error code (GetLastError), in UTF-8, without the line end
// and full stop that end them; "system error N" where it has none.
std::string SystemMessage(unsigned long error);

}  // namespace zovu
