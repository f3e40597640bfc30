#include "driver/thread_count.h"

#include <charconv>

namespace zovu {

std::optional<std::size_t> ParseThreadCount(std::string_view text) {
  std::size_t threads = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threads);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (threads == 0 || threads > kMostWalkThreads) return std::nullopt;
  return threads;
}

std::optional<std::size_t> WalkThreads(std::string_view setting) {
  if (setting.empty()) return kDefaultWalkThreads;
  return ParseThreadCount(setting);
}

}  // namespace zovu
