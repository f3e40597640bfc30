#include "tally/extension_tally.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace zovu {

void ExtensionTally::AddToTally(std::string_view text, std::int64_t size) {
  TallyFigures& figures = FiguresOf(text);
  ++figures.files;
  figures.bytes += size;
}

TallyFigures& ExtensionTally::FiguresOf(std::string_view text) {
  if (text.size() > sizeof(std::uint64_t)) return figures_[MakeTallyKey(text, rule_)];
  std::uint64_t packed = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    packed |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
  }
  Recent& recent = recent_[((packed + text.size()) * 0x9E3779B97F4A7C15ULL) >> 56];
  if (recent.figures == nullptr || recent.text != packed || recent.length != text.size()) {
    recent = Recent{packed, text.size(), &figures_[MakeTallyKey(text, rule_)]};
  }
  return *recent.figures;
}

void ExtensionTally::AddLinkedFile(FileIdentity identity, std::string_view text,
                                   std::int64_t size) {
  AddLinked(identity, MakeTallyKey(text, rule_), size);
}

void ExtensionTally::AddLinked(const FileIdentity& identity, std::string key, std::int64_t size) {
  const auto [it, added] = linked_.try_emplace(identity, LinkedFile{key, size});
  if (!added && key < it->second.key) it->second.key = std::move(key);
}

void ExtensionTally::Merge(const ExtensionTally& other) {
  for (const auto& [key, figures] : other.figures_) {
    TallyFigures& mine = figures_[key];
    mine.files += figures.files;
    mine.bytes += figures.bytes;
  }
  for (const auto& [identity, file] : other.linked_) AddLinked(identity, file.key, file.size);
}

TallyRows ExtensionTally::SortedRows() const {
  TallyRows rows;
  // Reserved whole, so that the keys the linked files are found by never move.
  rows.reserve(figures_.size() + linked_.size());
  for (const auto& [key, figures] : figures_) rows.push_back(TallyRow{key, figures});
  if (!linked_.empty()) {
    std::unordered_map<std::string_view, std::size_t> rowOf;
    for (std::size_t i = 0; i < rows.size(); ++i) rowOf.emplace(rows[i].key, i);
    for (const auto& [identity, file] : linked_) {
      const auto [at, added] = rowOf.try_emplace(file.key, rows.size());
      if (added) rows.push_back(TallyRow{file.key, {}});
      TallyFigures& figures = rows[at->second].figures;
      ++figures.files;
      figures.bytes += file.size;
    }
  }
  // Byte by byte as unsigned values, a prefix before the longer key.
  SortRows(rows, RowOrder::kExtension);
  return rows;
}

void SortRows(TallyRows& rows, RowOrder order) {
  const auto byKey = [](const TallyRow& a, const TallyRow& b) { return a.key < b.key; };
  const auto byFiles = [&](const TallyRow& a, const TallyRow& b) {
    if (a.figures.files != b.figures.files) return a.figures.files > b.figures.files;
    if (a.figures.bytes != b.figures.bytes) return a.figures.bytes > b.figures.bytes;
    return byKey(a, b);
  };
  const auto byBytes = [&](const TallyRow& a, const TallyRow& b) {
    if (a.figures.bytes != b.figures.bytes) return a.figures.bytes > b.figures.bytes;
    return byFiles(a, b);
  };
  switch (order) {
    case RowOrder::kExtension:
      std::sort(rows.begin(), rows.end(), byKey);
      break;
    case RowOrder::kFiles:
      std::sort(rows.begin(), rows.end(), byFiles);
      break;
    case RowOrder::kBytes:
      std::sort(rows.begin(), rows.end(), byBytes);
      break;
  }
}

std::uint64_t TotalFiles(const TallyRows& rows) {
  std::uint64_t files = 0;
  for (const TallyRow& row : rows) files += row.figures.files;
  return files;
}

}  // namespace zovu
