#include "driver/thread_count.h"

#include <charconv>

namespace zovu {

std::optional<std::size_t> WalkThreads(std::string_view setting) {
  if (setting.empty()) return kDefaultWalkThreads;
  std::size_t threads = 0;
  const auto [end, error] =
      std::from_chars(setting.data(), setting.data() + setting.size(), threads);
  if (error != std::errc() || end != setting.data() + setting.size()) return std::nullopt;
  if (threads == 0 || threads > kMostWalkThreads) return std::nullopt;
  return threads;
}

}  // namespace zovu
