#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/command_line.h"

namespace zovu {

std::vector<std::string> CommandLineParameters(int argc, char** argv) {
  if (argc <= 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ProgramFileFromName(const std::string& name) {
  std::string found = name;
  if (name.find('/') == std::string::npos) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "";
    while (!dirs.empty()) {
      const std::size_t colon = std::min(dirs.find(':'), dirs.size());
      std::string candidate(dirs.substr(0, colon));
      candidate = (candidate.empty() ? "." : candidate) + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) {
        found = candidate;
        break;
      }
      dirs.remove_prefix(std::min(colon + 1, dirs.size()));
    }
  }
  char resolved[PATH_MAX];
  return ::realpath(found.c_str(), resolved) != nullptr ? std::string(resolved) : name;
}

}  // namespace zovu
