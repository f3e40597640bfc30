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
// and the file is cut to its old length; a file that this save made, and that is still
// empty then, is removed again. A copy that does not line up with the key in any chunk
// it lies in is not seen.
SaveResult SaveBlock(BlockFileOpener& opener, std::string_view name, std::uint16_t occurrence,
                     std::span<std::uint8_t> block);

// The name part of path, made absolute first, without anything from its first dot on:
// "/usr/local/bin/zovu" and "/x/zovu.tool.bin" both give "zovu".
std::string BaseFileName(std::string_view path, PathStyle style, PathExpander& expander);

}  // namespace zovu
