#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace zovu {

// A file handled as plain bytes, read and written at a position set by Seek.
class BlockFile {
 public:
  virtual ~BlockFile() = default;
  // The file's size in bytes, or nothing when the system cannot tell.
  virtual std::optional<std::int64_t> Size() = 0;
  // Moves to offset bytes from the start; false for a negative offset or on failure.
  virtual bool Seek(std::int64_t offset) = 0;
  // Reads until buffer is full or the file ends; the number of bytes read (fewer at
  // the end of the file), or nothing on a read error.
  virtual std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) = 0;
  // Writes data; the number of bytes written, fewer than asked when a write failed. A
  // write past the file-size limit fails like any other instead of ending the process.
  virtual std::size_t Write(std::span<const std::uint8_t> data) = 0;
  // Cuts the file back to size bytes; false on failure.
  virtual bool Truncate(std::int64_t size) = 0;
  // Waits for the exclusive lock on the whole file and holds it until the file is
  // closed, so that other processes that lock it wait meanwhile; false when the lock
  // cannot be had, or when the file was removed (by Remove) while this one waited.
  // (POSIX locks are advisory; a Windows lock also keeps other handles from reading and
  // writing the file.)
  virtual bool Lock() = 0;
  // Closes the file; false when the system reported an error. Destroying an open file
  // closes it too.
  virtual bool Close() = 0;
  // True when the opener made the file: there was none of that name.
  virtual bool Created() const = 0;
  // Takes the file away from its name and closes it; false when it stays. Only a file
  // that the opener made can be removed this way.
  virtual bool Remove() = 0;
};

class BlockFileOpener {
 public:
  virtual ~BlockFileOpener() = default;
  // Opens the regular file name for reading and writing, creating it empty when it does
  // not exist. An existing file is never truncated. A link of that name is never
  // followed, not even one that leads nowhere: the file would be elsewhere. Null when it
  // cannot be opened, or when the name leads to no regular file (a link, a directory,
  // a FIFO, a device).
  virtual std::unique_ptr<BlockFile> Open(std::string_view name) = 0;
};

}  // namespace zovu
