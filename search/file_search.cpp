#include "search/file_search.h"

#include <cstdlib>
#include <utility>

#include "search/mask_match.h"

namespace zovu {
namespace {

// The search whose directories the exit handler puts back.
FileSearch* activeSearch = nullptr;

void RestoreAtExit() {
  if (activeSearch != nullptr) activeSearch->RestoreDirectories();
}

// Reading the clock on every entry would cost more than polling is worth.
constexpr std::uint32_t kEntriesPerClockCheck = 64;

bool IsFossilName(std::string_view name) {
  constexpr std::string_view kFossil = "_FOSSIL_";
  if (name.size() != kFossil.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kFossil[i]) return false;
  }
  return true;
}

}  // namespace

FileSearch::FileSearch(FileSystem& fileSystem, Keyboard& keyboard, PathStyle style,
                       std::chrono::nanoseconds keyboardInterval)
    : fileSystem_(fileSystem),
      keyboard_(keyboard),
      paths_{style, fileSystem},
      keyboardInterval_(keyboardInterval) {
  static const bool registered = (std::atexit(RestoreAtExit) == 0);
  (void)registered;
  activeSearch = this;
}

FileSearch::~FileSearch() {
  if (activeSearch == this) activeSearch = nullptr;
}

std::int64_t FileSearch::SearchFiles(std::string_view startPath, std::string_view maskList,
                                     std::uint16_t attrMask, bool interruptible, bool recurse,
                                     FileCallback* callback) {
  std::string start(startPath);
  const bool listFile = !start.empty() && start.front() == '@';
  if (listFile) start.erase(0, 1);
  SlashesToBackslashes(paths_.style, start);
  start = StripTrailingBackslashes(paths_.style, paths_.ExpandPath(start));

  savedCurrentDir_ = fileSystem_.MarkCurrentDirectory();
  savedStartDriveDir_ = fileSystem_.MarkDriveDirectory(std::string_view(start).substr(0, 2));
  savedLineDriveDir_.reset();

  callback_ = callback;
  details_ = callback != nullptr ? callback->WantedDetails() : EntryDetails::kNamesOnly;
  SetMasks(std::string(maskList));
  attrMask_ = attrMask;
  interruptible_ = interruptible;
  recurse_ = recurse;
  entryCount_ = 0;
  searchErrors_ = false;
  aborted_ = false;
  pollNext_ = true;

  {
    std::unique_ptr<PollingScope> polling;
    if (interruptible_) polling = std::make_unique<PollingScope>(keyboard_);
    if (listFile) {
      std::string listPath = start;
      listPath += Separator(paths_.style);
      listPath += maskList;
      ProcessListFile(paths_.ExpandPath(listPath));
    } else {
      WalkDirectory(start);
    }
  }
  RestoreDirectories();
  return entryCount_;
}

// Every directory's names are read in full before any subdirectory is entered, and the
// walk keeps its own stack instead of recursing: a tree thousands of levels deep then
// needs neither one open directory handle per level nor a deep call stack.
bool FileSearch::WalkDirectory(std::string_view dir) {
  if (!fileSystem_.ChangeDirectory(dir)) {
    NoteExhaustion();
    return false;
  }
  std::size_t depth = 0;
  auto listCurrent = [this](std::size_t level) {
    if (frames_.size() <= level) frames_.emplace_back();
    Frame& frame = frames_[level];
    frame.next = 0;
    frame.listing.Clear();
    // A listing that fails part way ends the directory like its last entry.
    if (!fileSystem_.ListCurrentDirectory(details_, frame.listing)) NoteExhaustion();
  };
  listCurrent(depth);
  for (;;) {
    Frame& frame = frames_[depth];
    if (frame.next == frame.listing.Size()) {
      if (depth == 0) return true;
      --depth;
      if (!fileSystem_.ReturnToParent()) searchErrors_ = true;
      const Frame& parent = frames_[depth];
      // The subdirectory's own entry comes after everything found inside it.
      Deliver(parent.listing, parent.listing.At(parent.next - 1));
      continue;
    }
    const DirectoryListing::Entry& entry = frame.listing.At(frame.next++);
    if (interruptible_ && PollEscape(false)) {
      aborted_ = true;
      return false;
    }
    const std::string_view name = frame.listing.NameOf(entry);
    if (Rejected(name, entry.attr)) continue;
    if (recurse_ && AttrMatches(static_cast<std::uint16_t>(entry.attr), kAttrDirectory)) {
      if (fileSystem_.EnterSubdirectory(name)) {
        listCurrent(++depth);
        continue;
      }
      NoteExhaustion();
    }
    Deliver(frame.listing, entry);
  }
}

void FileSearch::NoteExhaustion() {
  // A directory skipped for want of file handles or memory is not a directory that may
  // not be entered: counting on without it would report a short count as a success.
  if (fileSystem_.ResourcesExhausted()) searchErrors_ = true;
}

bool FileSearch::Rejected(std::string_view name, std::uint32_t attr) const {
  const auto bits = static_cast<std::uint16_t>(attr);
  const bool directory = AttrMatches(bits, kAttrDirectory);
  if (directory && (name == "." || name == ".." || name == ".git")) return true;
  if (AttrMatches(bits, kAttrVolumeLabel)) return true;
  if (directory) return false;
  if (AttrMatches(bits, attrMask_) || attrMask_ == kAttrAnyFile) {
    if (IsFossilName(name)) return true;
    return !everyName_ && !MatchMaskList(name, masks_);
  }
  return true;
}

void FileSearch::SetMasks(std::string masks) {
  masks_ = std::move(masks);
  everyName_ = MatchesEveryName(masks_);
}

void FileSearch::Deliver(const DirectoryListing& listing, const DirectoryListing::Entry& entry) {
  const FoundFile found{listing.NameOf(entry), entry.size, entry.attr, entry.time};
  if (callback_ != nullptr && !callback_->Item(found)) searchErrors_ = true;
  ++entryCount_;
}

bool FileSearch::EscPressed() {
  if (!keyboard_.KeyWaiting()) return false;
  const int code = keyboard_.ReadKey();
  if (code == 0) {
    keyboard_.ReadKey();  // the second code of an extended key
    return false;
  }
  return code == kEscapeKey;
}

bool FileSearch::PollEscape(bool force) {
  if (!force && !pollNext_ && keyboardInterval_.count() > 0) {
    if (++entriesSincePoll_ < kEntriesPerClockCheck) return false;
    entriesSincePoll_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < keyboardInterval_) return false;
    lastPoll_ = now;
  }
  pollNext_ = false;
  return EscPressed();
}

void FileSearch::RestoreDirectories() {
  for (const auto* mark : {&savedLineDriveDir_, &savedStartDriveDir_, &savedCurrentDir_}) {
    if (*mark != nullptr && !fileSystem_.ReturnTo(**mark)) searchErrors_ = true;
  }
}

}  // namespace zovu
