#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zovu {

class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem();
  ~PosixFileSystem() override;
  PosixFileSystem(const PosixFileSystem&) = delete;
  PosixFileSystem& operator=(const PosixFileSystem&) = delete;

  std::string ExpandPath(std::string_view path) override;
  bool ChangeDirectory(std::string_view path) override;
  bool EnterSubdirectory(std::string_view name) override;
  bool ReturnToParent() override;
  bool ListCurrentDirectory(EntryDetails details, DirectoryListing& out) override;
  std::unique_ptr<DirectoryMark> MarkDriveDirectory(std::string_view path) override;
  std::unique_ptr<DirectoryMark> MarkCurrentDirectory() override;
  bool ReturnTo(const DirectoryMark& mark) override;
  std::unique_ptr<LineReader> OpenTextFile(std::string_view path) override;
  bool ResourcesExhausted() const override { return exhausted_; }

 private:
  // The way back from an entered subdirectory: the parent's open handle, or, past a
  // bounded number of held handles, the parent's identity to check ".." against.
  struct WayBack {
    int fd;
    dev_t device;
    ino_t inode;
  };

  bool MoveTo(int fd);
  void ForgetWayBack();
  int CurrentHandle();
  // Gives up the parents' handles held for the way back, keeping their identities;
  // false when none was held.
  bool ReleaseHeldParents();
  // Notes why the call that just failed did (from errno); always false.
  bool Fail();

  int current_ = -1;            // handle of the current directory, owned; -1 when not yet opened
  bool currentUnread_ = false;  // current_ is freshly opened, its listing not yet read
  bool exhausted_ = false;      // the last failure was for want of handles or memory
  std::vector<WayBack> wayBack_;
  std::vector<char> buffer_;
  std::string nameBuffer_;
};

}  // namespace zovu
