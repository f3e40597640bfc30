#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/directory_tree.h"

namespace zovu {

// A directory of the walk as it was listed: its name, its inode in its parent's listing,
// and the way up to the start, so that a subdirectory can be reopened by its path when
// its parent is closed, and each directory on the way checked against its listing.
struct PathNode {
  PathNode(std::shared_ptr<PathNode> p, std::string n, std::uint64_t i)
      : parent(std::move(p)), name(std::move(n)), listedInode(i) {}
  // The way up is let go one node at a time: a tree thousands of levels deep would
  // otherwise be let go by as many nested calls.
  ~PathNode() {
    std::shared_ptr<PathNode> up = std::move(parent);
    while (up != nullptr && up.use_count() == 1) up = std::move(up->parent);
  }
  PathNode(const PathNode&) = delete;
  PathNode& operator=(const PathNode&) = delete;

  std::shared_ptr<PathNode> parent;  // null for the start directory
  std::string name;
  std::uint64_t listedInode;  // 0 where the listing gives none
};

// An open directory shared by the subdirectories waiting to be opened from it; it is
// closed when the last of them has been opened.
class SharedDirectory {
 public:
  SharedDirectory(std::unique_ptr<OpenDirectory> directory, std::atomic<std::size_t>& heldCount)
      : directory_(std::move(directory)), heldCount_(heldCount) {}
  ~SharedDirectory() { heldCount_.fetch_sub(1, std::memory_order_relaxed); }
  SharedDirectory(const SharedDirectory&) = delete;
  SharedDirectory& operator=(const SharedDirectory&) = delete;
  const OpenDirectory& get() const { return *directory_; }

 private:
  std::unique_ptr<OpenDirectory> directory_;
  std::atomic<std::size_t>& heldCount_;
};

// A subdirectory waiting to be walked: opened from its parent's handle when the parent
// is still held, else by its path from the start.
struct WorkItem {
  std::shared_ptr<const SharedDirectory> parentHandle;
  std::shared_ptr<PathNode> parent;
  std::string name;
  std::uint64_t listedInode = 0;
};

// The pending directories shared by the walk's threads, last in first out: the walk stays
// close to depth-first, and few parents are held open at once.
class WorkList {
 public:
  explicit WorkList(std::size_t handleBudget) : handleBudget_(handleBudget) {}

  // Adds the items and empties batch.
  void Push(std::vector<WorkItem>& batch);
  // The next item, waiting while other threads may still add some. Nothing once every
  // item is done or the walk was stopped. The caller calls Done when it has finished it.
  std::optional<WorkItem> Pop();
  void Done();
  // Waits up to timeout; true once every item is done or the walk was stopped.
  bool WaitFinished(std::chrono::nanoseconds timeout);
  // Ends the walk: Pop gives nothing more.
  void Stop();
  // Takes one of the shared handles for a directory just opened; false when the budget is
  // spent, and its subdirectories must then be reopened by their paths.
  std::shared_ptr<const SharedDirectory> Share(std::unique_ptr<OpenDirectory>& directory);
  // The directory of a walk's start, which stays open for the whole walk.
  std::shared_ptr<const SharedDirectory> ShareStart(std::unique_ptr<OpenDirectory> directory);

 private:
  void NotifyFinished();
  bool FinishedLocked() const { return stopped_ || (items_.empty() && busy_ == 0); }

  std::mutex mutex_;
  std::condition_variable workReady_;  // workers wait here
  std::condition_variable finished_;   // the thread watching the walk waits here
  std::vector<WorkItem> items_;
  std::size_t busy_ = 0;  // items taken and not yet done
  bool stopped_ = false;
  const std::size_t handleBudget_;
  std::atomic<std::size_t> heldHandles_{0};
};

}  // namespace zovu
