#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/block_file.h"

namespace zovu::testing {

using Bytes = std::vector<std::uint8_t>;

// Files kept in memory, with switches that make each operation fail.
class MemoryBlockFiles final : public BlockFileOpener {
 public:
  std::map<std::string, Bytes> files;
  std::vector<std::string> opened;
  bool failOpen = false;
  bool failSize = false;
  bool failSeek = false;
  bool failRead = false;
  std::size_t writeLimit = SIZE_MAX;  // bytes a write may put before it fails

  std::unique_ptr<BlockFile> Open(std::string_view name) override {
    opened.emplace_back(name);
    if (failOpen) return nullptr;
    return std::make_unique<File>(*this, files[std::string(name)]);
  }

 private:
  class File final : public BlockFile {
   public:
    File(MemoryBlockFiles& owner, Bytes& bytes) : owner_(owner), bytes_(bytes) {}
    std::optional<std::int64_t> Size() override {
      if (owner_.failSize) return std::nullopt;
      return static_cast<std::int64_t>(bytes_.size());
    }
    bool Seek(std::int64_t offset) override {
      if (owner_.failSeek || offset < 0) return false;
      pos_ = static_cast<std::size_t>(offset);
      return true;
    }
    std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
      if (owner_.failRead) return std::nullopt;
      const std::size_t got =
          pos_ >= bytes_.size() ? 0 : std::min(buffer.size(), bytes_.size() - pos_);
      std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), got, buffer.begin());
      pos_ += got;
      return got;
    }
    std::size_t Write(std::span<const std::uint8_t> data) override {
      const std::size_t put = std::min(data.size(), owner_.writeLimit);
      if (bytes_.size() < pos_ + put) bytes_.resize(pos_ + put);
      std::copy_n(data.begin(), put, bytes_.begin() + static_cast<std::ptrdiff_t>(pos_));
      pos_ += put;
      return put;
    }
    bool Truncate(std::int64_t size) override {
      if (size < 0) return false;
      bytes_.resize(static_cast<std::size_t>(size));
      return true;
    }
    bool Close() override { return true; }

   private:
    MemoryBlockFiles& owner_;
    Bytes& bytes_;
    std::size_t pos_ = 0;
  };
};

}  // namespace zovu::testing
