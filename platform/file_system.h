#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_style.h"

namespace zovu {

// Attribute bits of a directory entry, with their DOS values.
inline constexpr std::uint16_t kAttrReadOnly = 1;
inline constexpr std::uint16_t kAttrHidden = 2;
inline constexpr std::uint16_t kAttrSystem = 4;
inline constexpr std::uint16_t kAttrVolumeLabel = 8;
inline constexpr std::uint16_t kAttrDirectory = 16;
inline constexpr std::uint16_t kAttrArchive = 32;
inline constexpr std::uint16_t kAttrAnyFile = 63;

// What a directory listing fills in besides names and the directory bit.
// Sizes cost a metadata call per file on some systems, and times a conversion to local
// time on top, so each is fetched only when asked for.
enum class EntryDetails { kNamesOnly, kSizes, kSizesAndTimes };

// Every entry of one directory, names packed into one buffer so that a large
// directory costs one allocation, not one per name.
class DirectoryListing {
 public:
  struct Entry {
    std::uint32_t nameOffset;
    std::uint32_t nameLength;
    std::uint32_t attr;
    std::uint32_t time;  // local last-write time packed as a DOS date (high) and time (low)
    std::int64_t size;
  };

  void Clear() {
    entries_.clear();
    names_.clear();
  }
  void Add(std::string_view name, std::uint32_t attr, std::int64_t size, std::uint32_t time) {
    entries_.push_back({static_cast<std::uint32_t>(names_.size()),
                        static_cast<std::uint32_t>(name.size()), attr, time, size});
    names_.append(name);
  }
  std::size_t Size() const { return entries_.size(); }
  const Entry& At(std::size_t i) const { return entries_[i]; }
  std::string_view NameOf(const Entry& e) const {
    return std::string_view(names_).substr(e.nameOffset, e.nameLength);
  }

 private:
  std::vector<Entry> entries_;
  std::string names_;
};

// A remembered current directory that the walk can come back to, even if its path
// was renamed meanwhile where the system allows that.
class DirectoryMark {
 public:
  virtual ~DirectoryMark() = default;
};

// A text file read line by line.
class LineReader {
 public:
  virtual ~LineReader() = default;
  virtual bool AtEnd() = 0;
  // The next line without its line end.
  virtual std::string ReadLine() = 0;
  // True once reading failed; AtEnd is then true as well.
  virtual bool ReadFailed() const { return false; }
};

// The directory services the walker needs. The walk moves by changing the process's
// current directory; nothing else changes it while a search runs.
class FileSystem : public PathExpander {
 public:
  // Makes path the current directory. Forgets the way back from any entered subdirectory.
  virtual bool ChangeDirectory(std::string_view path) = 0;
  // Enters the subdirectory name of the current directory. Links are never followed.
  virtual bool EnterSubdirectory(std::string_view name) = 0;
  // Goes back to the directory that the last successful EnterSubdirectory left.
  virtual bool ReturnToParent() = 0;
  // Reads every entry of the current directory, "." and ".." included when the system
  // lists them. Symbolic links are entries of their own, never directories.
  virtual bool ListCurrentDirectory(EntryDetails details, DirectoryListing& out) = 0;
  // The current directory, or on systems with drives the current directory of the
  // drive that path names.
  virtual std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view path) = 0;
  virtual std::unique_ptr<DirectoryMark> MarkCurrentDirectory() = 0;
  // Makes a marked directory current again. Forgets the way back like ChangeDirectory.
  virtual bool ReturnTo(const DirectoryMark& mark) = 0;
  // Opens a text file for reading, or returns null.
  virtual std::unique_ptr<LineReader> OpenTextFile(std::string_view path) = 0;
  // Asked right after a call failed: true when it failed for want of file handles or
  // memory rather than because of the directory, so the failure is the search's own.
  virtual bool ResourcesExhausted() const { return false; }
};

}  // namespace zovu
