#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace zovu {

// Walking threads when ZOVU_THREADS is not set. A walk waits on the disk far more than it
// computes: more threads than cores keep more directory reads in flight on a cold cache
// and cost nothing on a warm one.
inline constexpr std::size_t kDefaultWalkThreads = 16;
inline constexpr std::size_t kMostWalkThreads = 256;
// Walking threads when a start directory is on a file system that answers every request
// late (over a network, or from a server in user space): there a walk waits on round
// trips, and more of them in flight shorten it far past what a local disk gains.
inline constexpr std::size_t kThreadsWhereSlow = 64;

// A whole number from 1 to kMostWalkThreads, or nothing.
std::optional<std::size_t> ParseThreadCount(std::string_view text);
// The thread count that ZOVU_THREADS asks for: the default when it is empty, nothing when
// it is not a whole number from 1 to kMostWalkThreads.
std::optional<std::size_t> WalkThreads(std::string_view setting);

}  // namespace zovu
