#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/block_file.h"
#include "platform/path_style.h"

namespace zovu {

// Saves a settings block into a file of its own, so that a later save replaces the
// earlier copy instead of adding another. A block is the identification length L, the
// L identification bytes, the caller's data and two checksum bytes; it is stored XORed
// with a key built from kScrambleSeed, key byte 1 at the block's first byte.

// The fixed seed of the scrambling key. A file is only recognised by a build with the
// same seed.
inline constexpr std::string_view kScrambleSeed = "\x5A\xC3\x17\x8E\x61\xF4\x2B";
// The search for an earlier copy unscrambles and searches the file in chunks of this
// size, each from key byte 1 at its own first byte; it reads many chunks at a time.
inline constexpr std::size_t kSearchChunkBytes = 4096;

enum class SaveResult {
  kSaved,
  kNotSaved,    // the file could not be opened, or the write failed or was short
  kReadFailed,  // the file could not be read while looking for an earlier copy
};

// Writes block into the file name, replacing its occurrence-th copy (counting from 1),
// or adding it at the end when there is no such copy or occurrence is 0. Stores the
// checksum into the block's last two bytes; otherwise the block is left as it was. The
// file is locked from the search to the write, so that saves at the same time add one
// copy between them. A write that fails is undone: the bytes it changed are put back
// and the file is cut to its old length.
SaveResult SaveBlock(BlockFileOpener& opener, std::string_view name, std::uint16_t occurrence,
                     std::span<std::uint8_t> block);

// The steps of SaveBlock, open for tests.

// Where FindBlock found the copy of the block: the offset of its length byte, or -1.
struct BlockSearch {
  std::int64_t offset = -1;
  bool readFailed = false;
};
// Looks for the occurrence-th copy of the identification id (its L bytes, without the
// length byte). The file is read in overlapping chunks, each unscrambled from key byte 1
// at its own first byte, so a copy that does not line up with the key in any chunk it
// lies in is not seen.
BlockSearch FindBlock(BlockFile& file, std::uint16_t occurrence, std::span<const std::uint8_t> id);

// Writes data scrambled at offset and leaves data plain again. Returns how many bytes
// were written: all of data, or fewer when seeking or writing failed.
std::size_t WriteBlockAt(BlockFile& file, std::int64_t offset, std::span<std::uint8_t> data);

// The first index at which pattern stands in data with at least one byte of data
// behind it, or -1.
int FindPattern(std::span<const std::uint8_t> data, std::span<const std::uint8_t> pattern);
// The XOR of the bytes of data.
std::uint16_t BlockChecksum(std::span<const std::uint8_t> data);
// XORs data with the key of seed, key byte 1 at data's first byte. Applied twice it
// gives back the data.
void ScrambleBytes(std::span<std::uint8_t> data, std::string_view seed);
// The seed followed by up to count of its successive left rotations, cut to 255 bytes.
std::string BuildKey(std::string_view seed, int count);
// s with its first character moved to the end.
std::string RotateLeft(std::string_view s);

// The name part of path, made absolute first, without anything from its first dot on:
// "/usr/local/bin/zovu" and "/x/zovu.tool.bin" both give "zovu".
std::string BaseFileName(std::string_view path, PathStyle style, PathExpander& expander);

}  // namespace zovu
