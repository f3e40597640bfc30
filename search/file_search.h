#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/keyboard.h"
#include "search/found_file.h"
#include "search/path_rules.h"

namespace zovu {

// Runs searches: walks a start directory, or each line of a list file, and hands every
// accepted entry to a callback. It moves through the tree by changing the current
// directory and puts the directory back afterwards and at exit.
class FileSearch {
 public:
  // keyboardInterval limits how often the keyboard is polled; zero polls on every entry.
  FileSearch(FileSystem& fileSystem, Keyboard& keyboard, PathStyle style,
             std::chrono::nanoseconds keyboardInterval = std::chrono::nanoseconds::zero());
  ~FileSearch();
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  // Returns the number of accepted entries. A startPath beginning with "@" names the
  // directory of a list file whose name is maskList.
  std::int64_t SearchFiles(std::string_view startPath, std::string_view maskList,
                           std::uint16_t attrMask, bool interruptible, bool recurse,
                           FileCallback* callback);
  bool SearchErrors() const { return searchErrors_; }
  bool Aborted() const { return aborted_; }
  // Takes at most one key; true when it was ESC.
  bool EscPressed();
  // Makes the directories saved by the last search current again.
  void RestoreDirectories();

 private:
  struct Frame {
    DirectoryListing listing;
    std::size_t next = 0;
    std::size_t enteredFrom = 0;  // the parent's entry whose subdirectory this frame walks
  };

  bool WalkDirectory(std::string_view dir);
  // Sets SearchErrors when the file system call that just failed ran out of resources.
  void NoteExhaustion();
  bool Rejected(std::string_view name, std::uint32_t attr) const;
  void Deliver(const DirectoryListing& listing, const DirectoryListing::Entry& entry);
  bool PollEscape(bool force);
  void SetMasks(std::string masks);
  void ProcessListFile(std::string path);
  // Walks one list line's start directory and returns to the directory current before it.
  void ProcessListLine(std::string_view startDir);

  FileSystem& fileSystem_;
  Keyboard& keyboard_;
  PathContext paths_;
  std::chrono::nanoseconds keyboardInterval_;
  std::chrono::steady_clock::time_point lastPoll_{};
  std::uint32_t entriesSincePoll_ = 0;
  bool pollNext_ = true;

  // The state of the search in progress.
  std::string masks_;
  bool everyName_ = false;  // the masks select every name; no need to match each one
  std::uint16_t attrMask_ = kAttrAnyFile;
  bool interruptible_ = false;
  bool recurse_ = false;
  FileCallback* callback_ = nullptr;
  EntryDetails details_ = EntryDetails::kNamesOnly;
  std::int64_t entryCount_ = 0;
  bool aborted_ = false;
  bool searchErrors_ = false;

  std::unique_ptr<DirectoryMark> savedCurrentDir_;
  std::unique_ptr<DirectoryMark> savedStartDriveDir_;
  std::unique_ptr<DirectoryMark> savedLineDriveDir_;

  // Listings by depth, kept between directories so their buffers are reused.
  std::vector<Frame> frames_;
};

}  // namespace zovu
