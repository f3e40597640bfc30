#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tally/tally_key.h"

namespace zovu {

// Totals of byte sizes never wrap: a key may hold files of up to 2^63 - 1 bytes each, in
// any number. (GCC, Clang and mingw-w64 all have 128-bit integers.)
__extension__ typedef __int128 TallyBytes;

// What one key holds: its files and their total size (0 where sizes were not asked for).
struct TallyFigures {
  std::uint64_t files = 0;
  TallyBytes bytes = 0;
};

// One key with its figures, as the reports read them.
struct TallyRow {
  std::string key;
  TallyFigures figures;
};
// Rows with unique keys, in key order unless a report sorts them otherwise.
using TallyRows = std::vector<TallyRow>;

// Who a file is: its device and its inode there.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The figures of every extension key that one walking thread met. Order plays no part
// while counting: it is made once, when the rows are taken for a report.
class ExtensionTally {
 public:
  explicit ExtensionTally(KeyRule rule = KeyRule::kThreeCharacters) : rule_(rule) {}
  ExtensionTally(const ExtensionTally&) = delete;
  ExtensionTally& operator=(const ExtensionTally&) = delete;

  // Adds one file whose extension (without the dot) is text, and its size.
  void AddToTally(std::string_view text, std::int64_t size);
  // Adds a file of several links (names), which counts once however many of its names
  // the walk meets: under the smallest of their keys, so that which thread met which name
  // plays no part.
  void AddLinkedFile(FileIdentity identity, std::string_view text, std::int64_t size);
  // Adds the figures of other, key by key.
  void Merge(const ExtensionTally& other);
  // Every key with its figures, in key order.
  TallyRows SortedRows() const;

 private:
  struct LinkedFile {
    std::string key;
    std::int64_t size = 0;
  };
  struct IdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
      return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
  };
  void AddLinked(const FileIdentity& identity, std::string key, std::int64_t size);

  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>()(key);
    }
  };

  // An extension of up to eight bytes seen lately, by its text as the name has it.
  struct Recent {
    std::uint64_t text = 0;
    std::size_t length = 0;
    TallyFigures* figures = nullptr;  // null: a slot not in use
  };

  TallyFigures& FiguresOf(std::string_view text);

  KeyRule rule_;
  std::unordered_map<std::string, TallyFigures, KeyHash, std::equal_to<>> figures_;
  // Files repeat a handful of extensions: those seen lately are found again by their text
  // alone, without making their key or hashing it. Elements of the map stay where they
  // are when it grows.
  // Room for 256, so that the mixed-case spellings of a few dozen extensions do not push
  // each other out.
  std::array<Recent, 256> recent_{};
  // Files of several links met so far; only they are remembered, so memory stays flat on
  // trees of ordinary files.
  std::unordered_map<FileIdentity, LinkedFile, IdentityHash> linked_;
};

// The orders a report may list its rows in: by key (the table's own order), or by files or
// bytes, most first, ties broken by the other figure (most first) and then by key.
enum class RowOrder { kExtension, kFiles, kBytes };
void SortRows(TallyRows& rows, RowOrder order);

// The files the rows hold, all keys together: the match count.
std::uint64_t TotalFiles(const TallyRows& rows);

}  // namespace zovu
