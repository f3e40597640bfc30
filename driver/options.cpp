#include "driver/options.h"

namespace zovu {

std::string GetOption(const Parameters& params, std::size_t n) {
  for (const std::string& param : params) {
    if (!param.empty() && param.front() == '-' && --n == 0) return param.substr(1);
  }
  return {};
}

std::string GetParameter(const Parameters& params, std::size_t n) {
  for (const std::string& param : params) {
    if ((param.empty() || param.front() != '-' || param.size() == 1) && --n == 0) return param;
  }
  return {};
}

// Stand-in until options land: options are accepted and change nothing.
std::optional<int> ProcessOptions(const Parameters&, ConfigBlock&, Environment&) {
  return std::nullopt;
}

}  // namespace zovu
