#include "support/config_writer.h"

#include <algorithm>
#include <array>

namespace zovu {
namespace {

constexpr std::size_t kKeyBytes = 255;

// One buffer for every chunk of every search, so memory use does not grow with the file.
std::array<std::uint8_t, kSearchChunkBytes> searchBuffer;

std::unique_ptr<BlockFile> OpenBlockFile(BlockFileOpener& opener, std::string_view name) {
  // The opener creates a missing file but never empties an existing one.
  return opener.Open(name);
}

bool IsDirEnd(PathStyle style, char c) {
  return style == PathStyle::kWindows ? (c == '\\' || c == '/' || c == ':') : c == '/';
}

}  // namespace

SaveResult SaveBlock(BlockFileOpener& opener, std::string_view name, std::uint16_t occurrence,
                     std::span<std::uint8_t> block) {
  // The checksum must fall behind the identification.
  if (block.empty() || block.size() < std::size_t{block[0]} + 3) return SaveResult::kNotSaved;
  const std::unique_ptr<BlockFile> file = OpenBlockFile(opener, name);
  if (!file) return SaveResult::kNotSaved;

  const BlockSearch search = FindBlock(*file, occurrence, block.subspan(1, block[0]));
  if (search.readFailed) return SaveResult::kReadFailed;

  const std::size_t n = block.size();
  const std::uint16_t checksum = BlockChecksum(block.first(n - 2));
  block[n - 2] = static_cast<std::uint8_t>(checksum & 0xFF);
  block[n - 1] = static_cast<std::uint8_t>(checksum >> 8);

  const std::optional<std::int64_t> size = file->Size();
  if (!size) return SaveResult::kReadFailed;
  const std::int64_t offset = search.offset >= 0 ? search.offset : *size;
  const bool ok = WriteBlockAt(*file, offset, block);
  // A write cut short (a full disk) past the old end is taken off again: a failed save
  // leaves the file as long as it was, with no half block behind its own bytes.
  if (!ok && offset + static_cast<std::int64_t>(n) > *size) file->Truncate(*size);
  // The block is written or not; an error on closing changes nothing about that.
  file->Close();
  return ok ? SaveResult::kSaved : SaveResult::kNotSaved;
}

BlockSearch FindBlock(BlockFile& file, std::uint16_t occurrence, std::span<const std::uint8_t> id) {
  BlockSearch result;
  if (occurrence == 0) return result;
  const std::optional<std::int64_t> size = file.Size();
  if (!size) {
    result.readFailed = true;
    return result;
  }
  const auto idLength = static_cast<std::int64_t>(id.size());
  std::int64_t pos = 0;
  int idx = -1;
  while (pos < *size) {
    std::fill(searchBuffer.begin(), searchBuffer.end(), std::uint8_t{0});
    std::size_t got = 0;
    switch (ReadChunk(file, pos, searchBuffer, got)) {
      case ChunkRead::kRead:
        break;
      case ChunkRead::kSeekFailed:
        return result;
      case ChunkRead::kReadFailed:
        result.readFailed = true;
        return result;
    }
    idx = FindPattern(std::span(searchBuffer).first(got), id);
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

ChunkRead ReadChunk(BlockFile& file, std::int64_t offset, std::span<std::uint8_t> buffer,
                    std::size_t& got) {
  got = 0;
  if (!file.Seek(offset)) return ChunkRead::kSeekFailed;
  const std::optional<std::size_t> read = file.Read(buffer);
  if (!read) return ChunkRead::kReadFailed;
  got = *read;
  ScrambleBytes(buffer, kScrambleSeed);
  return ChunkRead::kRead;
}

bool WriteBlockAt(BlockFile& file, std::int64_t offset, std::span<std::uint8_t> data) {
  if (!file.Seek(offset)) return false;
  ScrambleBytes(data, kScrambleSeed);
  const std::size_t written = file.Write(data);
  ScrambleBytes(data, kScrambleSeed);
  return written == data.size();
}

int FindPattern(std::span<const std::uint8_t> data, std::span<const std::uint8_t> pattern) {
  for (std::size_t i = 0; i < data.size() && data.size() - i > pattern.size(); ++i) {
    if (std::equal(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(i))) {
      return static_cast<int>(i);
    }
  }
  return -1;
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

std::string BaseFileName(std::string_view path, PathStyle style, PathExpander& expander) {
  const std::string full = expander.ExpandPath(path);
  std::size_t start = full.size();
  while (start > 0 && !IsDirEnd(style, full[start - 1])) --start;
  const std::string_view last = std::string_view(full).substr(start);
  return std::string(last.substr(0, last.find('.')));
}

}  // namespace zovu
