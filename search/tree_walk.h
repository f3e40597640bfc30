#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_tree.h"
#include "search/found_file.h"
#include "search/mask_match.h"

namespace zovu {

struct WalkOptions {
  std::uint16_t attrMask = kAttrAnyFile;
  bool interruptible = true;  // the watcher may stop the walk
  bool recurse = false;
  // Directories on another device than the start directory are not entered.
  bool oneFileSystem = false;
  // Entries whose names these select are neither handed over nor entered.
  MaskList exclusions;
  // Threads that walk; with 1 the calling thread walks and no other thread is started.
  std::size_t threads = 1;
  // Threads that walk once a start directory is on a file system that answers slowly,
  // where more requests in flight pay; no fewer than threads.
  std::size_t threadsWhereSlow = 1;
  // How often the watcher is asked at most; zero asks it before every entry when the
  // calling thread walks, and every millisecond when other threads do.
  std::chrono::nanoseconds watchInterval{};
  // Joins the names of a path that a failure names.
  char separator = '/';
};

// What went wrong during walks, each as "PATH: reason": the first few, and how many in all.
struct WalkFailures {
  static constexpr std::size_t kKept = 20;
  std::vector<std::string> first;
  std::size_t count = 0;
  void Add(std::string failure) {
    if (first.size() < kKept) first.push_back(std::move(failure));
    ++count;
  }
};

// Gives each walking thread a callback of its own, so that no thread waits for another
// to hand over an entry; whoever set them up merges their results after the walk.
class CallbackSource {
 public:
  virtual ~CallbackSource() = default;
  // The callback of walking thread index (counting from 0); asked from the calling thread
  // before that walking thread begins.
  virtual FileCallback& CallbackFor(std::size_t index) = 0;
};

// Watches a walk from the thread that started it.
class WalkWatcher {
 public:
  virtual ~WalkWatcher() = default;
  // entries: the entries handed over so far in this walk. True asks the walk to stop.
  virtual bool Tick(std::uint64_t entries) = 0;
};

struct WalkResult {
  std::int64_t entries = 0;  // accepted entries handed to the callbacks
  bool opened = false;       // the start directory could be opened
  std::string startProblem;  // why it could not, in the system's words
  bool errors = false;       // something was skipped for want of resources, or the tree
                             // changed in a way that made a directory unreachable
  bool aborted = false;      // the watcher stopped the walk
  WalkFailures failures;     // what set errors, where it can be named
};

// Walks of several start directories that share one set of walking threads, started as
// work waits for them; later walks begin while earlier ones are still under way. The
// calling thread lists each start directory itself.
class TreeWalks {
 public:
  TreeWalks(DirectoryTree& tree, const WalkOptions& options, CallbackSource& callbacks,
            WalkWatcher& watcher);
  ~TreeWalks();
  TreeWalks(const TreeWalks&) = delete;
  TreeWalks& operator=(const TreeWalks&) = delete;

  // Opens and lists startDir, and sets the walk below it going; with one thread it is
  // walked before this returns. The result tells whether it was opened, why not, and whether that
  // was for want of resources; what the walks find, Finish tells.
  WalkResult Add(std::string_view startDir, const MaskList& masks);
  // True while a walk is under way.
  bool Busy();
  // The entries handed over so far.
  std::uint64_t Entries() const;
  // Ends every walk at once.
  void Stop();
  // Waits for every walk added, watching them, and adds up what they found.
  WalkResult Finish();

 private:
  struct Pool;
  std::unique_ptr<Pool> pool_;
};

// Walks the tree below startDir and hands every accepted entry to a callback: files that
// the masks select, and directories (entered too when recursing). The current directory is
// never changed: every directory is opened from its parent.
WalkResult WalkTree(DirectoryTree& tree, std::string_view startDir, const MaskList& masks,
                    const WalkOptions& options, CallbackSource& callbacks, WalkWatcher& watcher);

}  // namespace zovu
