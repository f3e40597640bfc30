// The configuration file writer over random file contents and blocks, in files kept in
// memory, some of which fail.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/block_scramble.h"
#include "common/memory_block_files.h"
#include "fuzz_check.h"
#include "support/config_writer.h"

namespace {

using namespace zovu;
using testing::Bytes;
using testing::KeyByte;
using testing::MemoryBlockFiles;
using testing::Scrambled;

// Where the save should find the occurrence-th copy of id, worked out byte by byte: the
// file is looked at in chunks of kSearchChunkBytes, each unscrambled from key byte 1 at
// its own first byte; a chunk holds a copy at the first place whose L bytes are the id
// with a byte of the chunk behind them. The next chunk begins at the last id byte of a
// copy passed over, or L + 1 bytes before the end of a chunk without one. The offset of
// the copy's length byte, or -1 for none (as for a copy at offset 0 with an empty id).
std::int64_t ExpectedCopy(const Bytes& file, std::uint16_t occurrence, const Bytes& id) {
  if (occurrence == 0) return -1;
  const auto size = static_cast<std::int64_t>(file.size());
  const auto length = static_cast<std::int64_t>(id.size());
  std::int64_t pos = 0;
  while (pos < size) {
    if (pos < 0) return -1;  // an empty id passed over at offset 0: nowhere to go on from
    const std::int64_t chunk = std::min<std::int64_t>(kSearchChunkBytes, size - pos);
    std::int64_t found = -1;
    for (std::int64_t i = 0; found < 0 && i + length < chunk; ++i) {
      bool same = true;
      for (std::int64_t k = 0; same && k < length; ++k) {
        const auto at = static_cast<std::size_t>(pos + i + k);
        same = static_cast<std::uint8_t>(file[at] ^ KeyByte(static_cast<std::size_t>(i + k))) ==
               id[static_cast<std::size_t>(k)];
      }
      if (same) found = i;
    }
    if (found >= 0 && occurrence == 1) return pos + found - 1;
    if (found >= 0) {
      --occurrence;
      pos += found + length - 1;
    } else {
      pos += static_cast<std::int64_t>(kSearchChunkBytes) - length - 1;
    }
  }
  return -1;
}

// Whether the copy of every byte outside [at, at + count) is unchanged.
bool OthersKept(const Bytes& before, const Bytes& after, std::size_t at, std::size_t count) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    if ((i < at || i >= at + count) && (i >= after.size() || after[i] != before[i])) return false;
  }
  return true;
}

enum class Trouble { kNone, kOpen, kSeek, kRead, kShortWrite };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto trouble = static_cast<Trouble>(input.ConsumeIntegralInRange<int>(0, 4));
  const auto occurrence = input.ConsumeIntegralInRange<std::uint16_t>(0, 3);
  const Bytes id = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 40));
  const Bytes own = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 8));
  // Old files longer than a chunk are made by repeating a piece, so the search crosses
  // chunk borders, sometimes with a copy of the block planted in between.
  const auto repeats = input.ConsumeIntegralInRange<std::size_t>(1, 12);
  const bool plant = input.ConsumeBool();
  const auto plantAt = input.ConsumeIntegralInRange<std::size_t>(0, 12000);
  const auto writeLimit = input.ConsumeIntegral<std::size_t>();
  // No file yet: a save that fails must not leave one.
  const bool fresh = input.ConsumeBool();
  const Bytes piece = input.ConsumeRemainingBytes<std::uint8_t>();

  Bytes block{static_cast<std::uint8_t>(id.size())};
  block.insert(block.end(), id.begin(), id.end());
  block.insert(block.end(), own.begin(), own.end());
  block.insert(block.end(), {0xEE, 0xEE});
  Bytes old;
  for (std::size_t i = 0; i < repeats; ++i) old.insert(old.end(), piece.begin(), piece.end());
  if (plant) {
    const Bytes copy = Scrambled(block);
    old.insert(old.begin() + static_cast<std::ptrdiff_t>(std::min(plantAt, old.size())),
               copy.begin(), copy.end());
  }

  MemoryBlockFiles files;
  const bool made = fresh && old.empty();
  if (!made) files.files["t.cfg"] = old;
  // Where the block should go: over the copy the search finds, or at the end.
  const std::int64_t found = ExpectedCopy(old, occurrence, id);
  const std::size_t at = found >= 0 ? static_cast<std::size_t>(found) : old.size();

  files.failOpen = trouble == Trouble::kOpen;
  files.failSeek = trouble == Trouble::kSeek;
  files.failRead = trouble == Trouble::kRead;
  if (trouble == Trouble::kShortWrite) files.writeLimit = writeLimit % block.size();
  const Bytes plain = block;
  const SaveResult result = SaveBlock(files, "t.cfg", occurrence, block);
  // A save that made the file and failed takes it away again.
  ZOVU_FUZZ_CHECK(files.files.count("t.cfg") == (made && result != SaveResult::kSaved ? 0 : 1));
  const Bytes& after = files.files["t.cfg"];

  // The caller's block comes back plain; only its last two bytes may hold the checksum.
  std::uint8_t sum = 0;
  for (auto byte = block.begin(); byte != block.end() - 2; ++byte) sum ^= *byte;
  const bool checksumStored = block[block.size() - 2] == sum && block.back() == 0;
  ZOVU_FUZZ_CHECK(std::equal(block.begin(), block.end() - 2, plain.begin()));
  ZOVU_FUZZ_CHECK(checksumStored || block == plain);

  const bool readsOldFile = !old.empty() && occurrence != 0;
  switch (trouble) {
    case Trouble::kOpen:
      ZOVU_FUZZ_CHECK(result == SaveResult::kNotSaved && after == old && block == plain);
      return 0;
    case Trouble::kSeek:
      ZOVU_FUZZ_CHECK(result == SaveResult::kNotSaved && after == old);
      return 0;
    case Trouble::kRead:
      if (readsOldFile) {
        ZOVU_FUZZ_CHECK(result == SaveResult::kReadFailed && after == old && block == plain);
        return 0;
      }
      break;
    case Trouble::kShortWrite:
      ZOVU_FUZZ_CHECK(result == SaveResult::kNotSaved);
      // The write is undone: a block added at the end is taken off again, and the bytes
      // of a copy replaced in place are put back.
      ZOVU_FUZZ_CHECK(after == old);
      return 0;
    case Trouble::kNone:
      break;
  }

  // Saved: the scrambled block stands where it was meant to, and nothing else changed.
  ZOVU_FUZZ_CHECK(result == SaveResult::kSaved && checksumStored);
  ZOVU_FUZZ_CHECK(after.size() == std::max(old.size(), at + block.size()));
  ZOVU_FUZZ_CHECK(OthersKept(old, after, at, block.size()));
  ZOVU_FUZZ_CHECK(
      std::equal(block.begin(), block.end(),
                 Scrambled(Bytes(after.begin() + static_cast<std::ptrdiff_t>(at),
                                 after.begin() + static_cast<std::ptrdiff_t>(at + block.size())))
                     .begin()));
  if (occurrence == 0) ZOVU_FUZZ_CHECK(at == old.size());

  // Where the first copy stands now, the same block saved again changes no byte.
  files.failRead = false;  // a read failure that the save never met
  if (occurrence == 1 && ExpectedCopy(after, 1, id) == static_cast<std::int64_t>(at)) {
    const Bytes saved = after;
    ZOVU_FUZZ_CHECK(SaveBlock(files, "t.cfg", 1, block) == SaveResult::kSaved);
    ZOVU_FUZZ_CHECK(files.files["t.cfg"] == saved);
  }
  return 0;
}
