#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "support/config_writer.h"

namespace zovu::testing {

// The scrambling of a saved settings block, worked out from the file's description
// rather than taken from the writer: the key is the seed followed by its left rotations
// (rotation r has the seed's byte (r + k) mod 7 at k), cut to 255 bytes, over and over
// from the block's first byte (KeyByte(p) for byte p). Applied twice it gives the bytes
// back.
inline std::uint8_t KeyByte(std::size_t p) {
  static_assert(kScrambleSeed.size() == 7);
  const std::size_t i = p % 255;
  return static_cast<std::uint8_t>(kScrambleSeed[(i / 7 + i % 7) % 7]);
}

inline void Scramble(std::span<std::uint8_t> bytes) {
  for (std::size_t p = 0; p < bytes.size(); ++p) bytes[p] ^= KeyByte(p);
}

inline std::vector<std::uint8_t> Scrambled(std::vector<std::uint8_t> bytes) {
  Scramble(bytes);
  return bytes;
}

}  // namespace zovu::testing
