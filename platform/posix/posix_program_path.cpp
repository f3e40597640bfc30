#include "platform/posix/posix_program_path.h"

#include <unistd.h>

#include <vector>

namespace zovu {

std::string PosixProgramPath() {
#ifdef ZOVU_PORTABLE_POSIX
  return {};  // the caller takes the name the program was started by
#else
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return {};
    // A result that fills the buffer may have been cut; try again with more room.
    if (static_cast<std::size_t>(got) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(got));
    }
    buffer.resize(buffer.size() * 2);
  }
#endif
}

}  // namespace zovu
