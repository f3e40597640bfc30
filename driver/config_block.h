#pragma once

#include <array>
#include <cstdint>

namespace zovu {

// The settings block: its identification, the two switches, and room for the checksum
// that the configuration file writer stores behind them. Every run starts from these
// compiled values; nothing reads a saved block back.
struct ConfigBlock {
  std::uint8_t idLength = 24;
  std::array<char, 24> id = {'Z', 'O', 'V', 'U', ' ', 's', 'e', 't', 't', 'i', 'n', 'g',
                             's', ' ', 'b', 'l', 'o', 'c', 'k', ' ', 'v', '1', '.', '0'};
  std::uint8_t SubDirs = 0;     // 1: walk subdirectories too
  std::uint8_t TotalSizes = 0;  // 1: total byte sizes instead of counting files
  std::array<std::uint8_t, 2> checksum = {0, 0};
};
static_assert(sizeof(ConfigBlock) == 29, "the block is stored byte for byte");

}  // namespace zovu
