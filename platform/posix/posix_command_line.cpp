#include "platform/command_line.h"

namespace zovu {

std::vector<std::string> CommandLineParameters(int argc, char** argv) {
  if (argc <= 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace zovu
