#include "support/config_writer.h"

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

namespace zovu {
namespace {

// The steps of SaveBlock, defined behind it.

// Where FindBlock found the copy of the block: the offset of its length byte, or -1.
struct BlockSearch {
  std::int64_t offset = -1;
  bool readFailed = false;
};
// Looks for the occurrence-th copy of the identification id (its L bytes, without the
// length byte). The file is read in overlapping chunks, each unscrambled from key byte 1
// at its own first byte.
BlockSearch FindBlock(BlockFile& file, std::uint16_t occurrence, std::span<const std::uint8_t> id);
// Writes data scrambled at offset and leaves data plain again. Returns how many bytes
// were written: all of data, or fewer when seeking or writing failed.
std::size_t WriteBlockAt(BlockFile& file, std::int64_t offset, std::span<std::uint8_t> data);
// The XOR of the bytes of data.
std::uint16_t BlockChecksum(std::span<const std::uint8_t> data);
// XORs data with the key of seed, key byte 1 at data's first byte. Applied twice it
// gives back the data.
void ScrambleBytes(std::span<std::uint8_t> data, std::string_view seed);
// The seed followed by up to count of its successive left rotations, cut to 255 bytes.
std::string BuildKey(std::string_view seed, int count);
// s with its first character moved to the end.
std::string RotateLeft(std::string_view s);
// The save in a file just opened: locks it, looks for the copy and writes the block.
SaveResult SaveLocked(BlockFile& file, std::uint16_t occurrence, std::span<std::uint8_t> block);

constexpr std::size_t kKeyBytes = 255;
// Bytes read at a time while searching: many chunks, so that a large file is read at
// the disk's speed. The buffer's size does not grow with the file.
constexpr std::size_t kSearchReadBytes = std::size_t{1} << 20;

using ChunkKey = std::array<std::uint8_t, kSearchChunkBytes>;

// The key bytes of the chunk's positions, key byte 1 at the chunk's first byte: XORed
// with a chunk's bytes, they unscramble it.
ChunkKey MakeChunkKey() {
  ChunkKey stream{};
  const std::string key = BuildKey(kScrambleSeed, kKeyBytes);
  if (key.empty()) return stream;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    stream[i] = static_cast<std::uint8_t>(key[i % key.size()]);
  }
  return stream;
}

// The first index at which the pattern stands in data with at least one byte of data
// behind it, or -1; its table is built once for all the chunks of a search.
class PatternFinder {
 public:
  explicit PatternFinder(std::span<const std::uint8_t> pattern)
      : empty_(pattern.empty()), searcher_(pattern.begin(), pattern.end()) {}

  int Find(std::span<const std::uint8_t> data) const {
    if (data.empty()) return -1;
    if (empty_) return 0;
    // The last byte of data is no place for a match to end: one must stand behind it.
    const std::span<const std::uint8_t> room = data.first(data.size() - 1);
    const auto found = searcher_(room.begin(), room.end()).first;
    return found == room.end() ? -1 : static_cast<int>(found - room.begin());
  }

 private:
  bool empty_;
  std::boyer_moore_horspool_searcher<std::span<const std::uint8_t>::iterator> searcher_;
};

enum class ChunkRead { kRead, kSeekFailed, kReadFailed };

// The file read kSearchReadBytes at a time, or all at once when it is smaller (a
// settings file is mostly one block); hands out the chunk at an offset, which is the
// bytes from there up to the chunk size or the file's end, as one 4096-byte read from
// that offset would give them.
class ChunkWindow {
 public:
  ChunkWindow(BlockFile& file, std::int64_t size)
      : file_(file),
        bytes_(std::clamp<std::size_t>(static_cast<std::size_t>(size) + 1, kSearchChunkBytes,
                                       kSearchReadBytes)) {}

  ChunkRead Chunk(std::int64_t offset, std::span<const std::uint8_t>& chunk) {
    if (!Holds(offset)) {
      if (!file_.Seek(offset)) return ChunkRead::kSeekFailed;
      const std::optional<std::size_t> got = file_.Read(bytes_);
      if (!got) return ChunkRead::kReadFailed;
      start_ = offset;
      length_ = *got;
      atEnd_ = *got < bytes_.size();
      filled_ = true;
    }
    const auto from = static_cast<std::size_t>(offset - start_);
    chunk = std::span<const std::uint8_t>(bytes_).subspan(
        from, std::min(kSearchChunkBytes, length_ - from));
    return ChunkRead::kRead;
  }

 private:
  bool Holds(std::int64_t offset) const {
    if (!filled_ || offset < start_) return false;
    const auto from = static_cast<std::uint64_t>(offset - start_);
    return from + kSearchChunkBytes <= length_ || (atEnd_ && from <= length_);
  }

  BlockFile& file_;
  std::vector<std::uint8_t> bytes_;
  std::int64_t start_ = 0;
  std::size_t length_ = 0;
  bool atEnd_ = false;
  bool filled_ = false;
};

std::unique_ptr<BlockFile> OpenBlockFile(BlockFileOpener& opener, std::string_view name) {
  // The opener creates a missing file but never empties an existing one.
  return opener.Open(name);
}

// The file's bytes that a block of n bytes written at offset would cover, to put back
// should the write fail; false when they cannot be read.
bool ReadBytesUnder(BlockFile& file, std::int64_t offset, std::int64_t size, std::size_t n,
                    std::vector<std::uint8_t>& under) {
  if (offset >= size) return true;
  under.resize(static_cast<std::size_t>(std::min<std::int64_t>(size - offset, n)));
  if (!file.Seek(offset)) return false;
  const std::optional<std::size_t> got = file.Read(under);
  if (!got) return false;
  under.resize(*got);
  return true;
}

// Puts back what a write of `written` bytes at offset changed in a file of size bytes:
// the bytes that were there, and nothing past the old end.
void UndoWrite(BlockFile& file, std::int64_t offset, std::int64_t size,
               std::span<const std::uint8_t> under, std::size_t written) {
  const std::size_t changed = std::min(written, under.size());
  if (changed > 0 && file.Seek(offset)) file.Write(under.first(changed));
  if (offset + static_cast<std::int64_t>(written) > size) file.Truncate(size);
}

}  // namespace

SaveResult SaveBlock(BlockFileOpener& opener, std::string_view name, std::uint16_t occurrence,
                     std::span<std::uint8_t> block) {
  // The checksum must fall behind the identification.
  if (block.empty() || block.size() < std::size_t{block[0]} + 3) return SaveResult::kNotSaved;
  const std::unique_ptr<BlockFile> file = OpenBlockFile(opener, name);
  if (!file) return SaveResult::kNotSaved;
  const SaveResult result = SaveLocked(*file, occurrence, block);
  // A first save that failed leaves no file behind. Empty means that no other save put a
  // block into it meanwhile; one that waits for the lock then finds the file gone.
  if (result != SaveResult::kSaved && file->Created() && file->Size() == 0) {
    file->Remove();
  } else {
    // The block is written or not; an error on closing changes nothing about that.
    file->Close();
  }
  return result;
}

namespace {

SaveResult SaveLocked(BlockFile& file, std::uint16_t occurrence, std::span<std::uint8_t> block) {
  // Held until the file is closed: another save that searched between this one's search
  // and its write would not see this copy and would add a second one.
  if (!file.Lock()) return SaveResult::kNotSaved;

  const BlockSearch search = FindBlock(file, occurrence, block.subspan(1, block[0]));
  if (search.readFailed) return SaveResult::kReadFailed;

  const std::size_t n = block.size();
  const std::uint16_t checksum = BlockChecksum(block.first(n - 2));
  block[n - 2] = static_cast<std::uint8_t>(checksum & 0xFF);
  block[n - 1] = static_cast<std::uint8_t>(checksum >> 8);

  const std::optional<std::int64_t> size = file.Size();
  if (!size) return SaveResult::kReadFailed;
  const std::int64_t offset = search.offset >= 0 ? search.offset : *size;
  std::vector<std::uint8_t> under;
  if (!ReadBytesUnder(file, offset, *size, n, under)) return SaveResult::kReadFailed;
  const std::size_t written = WriteBlockAt(file, offset, block);
  // A write cut short (a full disk, a file-size limit) is undone, so that a failed save
  // leaves the file as it was, with no half block in it.
  if (written != n) UndoWrite(file, offset, *size, under, written);
  return written == n ? SaveResult::kSaved : SaveResult::kNotSaved;
}

BlockSearch FindBlock(BlockFile& file, std::uint16_t occurrence, std::span<const std::uint8_t> id) {
  BlockSearch result;
  if (occurrence == 0) return result;
  const std::optional<std::int64_t> size = file.Size();
  if (!size) {
    result.readFailed = true;
    return result;
  }
  static const ChunkKey key = MakeChunkKey();
  const PatternFinder finder(id);
  ChunkWindow window(file, *size);
  ChunkKey plain;
  const auto idLength = static_cast<std::int64_t>(id.size());
  std::int64_t pos = 0;
  while (pos < *size) {
    std::span<const std::uint8_t> chunk;
    switch (window.Chunk(pos, chunk)) {
      case ChunkRead::kRead:
        break;
      case ChunkRead::kSeekFailed:
        return result;
      case ChunkRead::kReadFailed:
        result.readFailed = true;
        return result;
    }
    for (std::size_t i = 0; i < chunk.size(); ++i) plain[i] = chunk[i] ^ key[i];
    const int idx = finder.Find(std::span(plain).first(chunk.size()));
    if (idx >= 0 && occurrence == 1) {
      result.offset = pos + idx - 1;
      return result;
    }
    if (idx >= 0) {
      --occurrence;
      // The next chunk begins at the last identification byte of the copy just passed.
      pos += idx + idLength - 1;
    } else {
      // Chunks overlap by L + 1 bytes, so a copy that spans two of them is still seen.
      pos += static_cast<std::int64_t>(kSearchChunkBytes) - idLength - 1;
    }
  }
  return result;
}

std::size_t WriteBlockAt(BlockFile& file, std::int64_t offset, std::span<std::uint8_t> data) {
  if (!file.Seek(offset)) return 0;
  ScrambleBytes(data, kScrambleSeed);
  const std::size_t written = file.Write(data);
  ScrambleBytes(data, kScrambleSeed);
  return written;
}

std::uint16_t BlockChecksum(std::span<const std::uint8_t> data) {
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : data) sum ^= byte;
  return sum;
}

void ScrambleBytes(std::span<std::uint8_t> data, std::string_view seed) {
  const std::string key = BuildKey(seed, kKeyBytes);
  if (key.empty()) return;
  std::size_t j = 0;
  for (std::uint8_t& byte : data) {
    byte ^= static_cast<std::uint8_t>(key[j]);
    if (++j == key.size()) j = 0;
  }
}

std::string BuildKey(std::string_view seed, int count) {
  std::string key(seed.substr(0, kKeyBytes));
  std::string rotated(seed);
  if (key.empty()) return key;
  while (key.size() < kKeyBytes && count > 0) {
    rotated = RotateLeft(rotated);
    key += rotated;
    if (key.size() > kKeyBytes) key.resize(kKeyBytes);
    --count;
  }
  return key;
}

std::string RotateLeft(std::string_view s) {
  if (s.size() <= 1) return std::string(s);
  std::string rotated(s.substr(1));
  rotated += s.front();
  return rotated;
}

}  // namespace

std::string BaseFileName(std::string_view path, PathStyle style, PathExpander& expander) {
  const std::string full = expander.ExpandPath(path);
  std::size_t start = full.size();
  while (start > 0 && !EndsDirectoryPart(style, full[start - 1])) --start;
  const std::string_view last = std::string_view(full).substr(start);
  return std::string(last.substr(0, last.find('.')));
}

}  // namespace zovu
