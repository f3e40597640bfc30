#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
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
  bool failLock = false;
  std::size_t writeLimit = SIZE_MAX;  // bytes a write may put before it fails
  bool usedUnlocked = false;          // a file was sized, read or written without its lock

  std::unique_ptr<BlockFile> Open(std::string_view name) override {
    opened.emplace_back(name);
    if (failOpen) return nullptr;
    const bool created = files.count(std::string(name)) == 0;
    return std::make_unique<File>(*this, std::string(name), created);
  }

 private:
  class File final : public BlockFile {
   public:
    File(MemoryBlockFiles& owner, std::string name, bool created)
        : owner_(owner), name_(std::move(name)), bytes_(owner.files[name_]), created_(created) {}
    std::optional<std::int64_t> Size() override {
      Use();
      if (owner_.failSize) return std::nullopt;
      return static_cast<std::int64_t>(bytes_.size());
    }
    bool Seek(std::int64_t offset) override {
      if (owner_.failSeek || offset < 0) return false;
      pos_ = static_cast<std::size_t>(offset);
      return true;
    }
    std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
      Use();
      if (owner_.failRead) return std::nullopt;
      const std::size_t got =
          pos_ >= bytes_.size() ? 0 : std::min(buffer.size(), bytes_.size() - pos_);
      std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), got, buffer.begin());
      pos_ += got;
      return got;
    }
    std::size_t Write(std::span<const std::uint8_t> data) override {
      Use();
      const std::size_t put = std::min(data.size(), owner_.writeLimit);
      if (bytes_.size() < pos_ + put) bytes_.resize(pos_ + put);
      std::copy_n(data.begin(), put, bytes_.begin() + static_cast<std::ptrdiff_t>(pos_));
      pos_ += put;
      return put;
    }
    bool Truncate(std::int64_t size) override {
      Use();
      if (size < 0) return false;
      bytes_.resize(static_cast<std::size_t>(size));
      return true;
    }
    bool Lock() override {
      locked_ = !owner_.failLock;
      return locked_;
    }
    bool Close() override {
      locked_ = false;
      return true;
    }
    bool Created() const override { return created_; }
    bool Remove() override {
      if (!created_) return false;
      owner_.files.erase(name_);
      return Close();
    }

   private:
    void Use() {
      if (!locked_) owner_.usedUnlocked = true;
    }

    MemoryBlockFiles& owner_;
    std::string name_;
    Bytes& bytes_;
    bool created_;
    std::size_t pos_ = 0;
    bool locked_ = false;
  };
};

}  // namespace zovu::testing
