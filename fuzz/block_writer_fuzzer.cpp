// The configuration file writer over random file contents and blocks, in files kept in
// memory, some of which fail.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/memory_block_files.h"
#include "fuzz_check.h"
#include "support/config_writer.h"

namespace {

using namespace zovu;
using testing::Bytes;
using testing::MemoryBlockFiles;

constexpr std::size_t kKeyLength = 255;

Bytes Scrambled(Bytes bytes) {
  ScrambleBytes(bytes, kScrambleSeed);
  return bytes;
}

// Where a search finds the id in the first chunk, worked out byte by byte: the first
// position whose L bytes, unscrambled with the key byte of their own position, are the
// id and have a byte behind them. The block's length byte stands one before that.
std::int64_t FirstChunkCopy(const Bytes& file, const Bytes& id) {
  const std::string key = BuildKey(kScrambleSeed, static_cast<int>(kKeyLength));
  const std::size_t chunk = std::min(file.size(), kSearchChunkBytes);
  for (std::size_t i = 0; i + id.size() < chunk; ++i) {
    bool same = true;
    for (std::size_t k = 0; same && k < id.size(); ++k) {
      same = static_cast<std::uint8_t>(file[i + k] ^ key[(i + k) % kKeyLength]) == id[k];
    }
    if (same) return static_cast<std::int64_t>(i) - 1;
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
  files.files["t.cfg"] = old;
  // Where the block should go: over the copy the search finds, or at the end.
  const std::int64_t found = FindBlock(*files.Open("t.cfg"), occurrence, id).offset;
  const std::size_t at = found >= 0 ? static_cast<std::size_t>(found) : old.size();

  files.failOpen = trouble == Trouble::kOpen;
  files.failSeek = trouble == Trouble::kSeek;
  files.failRead = trouble == Trouble::kRead;
  if (trouble == Trouble::kShortWrite) files.writeLimit = writeLimit % block.size();
  const Bytes plain = block;
  const SaveResult result = SaveBlock(files, "t.cfg", occurrence, block);
  const Bytes& after = files.files["t.cfg"];

  // The caller's block comes back plain; only its last two bytes may hold the checksum.
  const std::uint8_t sum =
      static_cast<std::uint8_t>(BlockChecksum(Bytes(block.begin(), block.end() - 2)));
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

  // A search for the block finds it where it was written whenever that lines up with
  // the key of the first chunk, unless an earlier copy of the id comes first.
  files.failRead = false;  // a read failure that the save never met
  if (occurrence == 1 && at % kKeyLength == 0 && at + id.size() + 1 < kSearchChunkBytes) {
    const std::int64_t again = FindBlock(*files.Open("t.cfg"), 1, id).offset;
    ZOVU_FUZZ_CHECK(again == FirstChunkCopy(after, id));
    ZOVU_FUZZ_CHECK(again <= static_cast<std::int64_t>(at));
    // Saving the same block again then changes no byte.
    if (again == static_cast<std::int64_t>(at)) {
      const Bytes saved = after;
      ZOVU_FUZZ_CHECK(SaveBlock(files, "t.cfg", 1, block) == SaveResult::kSaved);
      ZOVU_FUZZ_CHECK(files.files["t.cfg"] == saved);
    }
  }
  return 0;
}
