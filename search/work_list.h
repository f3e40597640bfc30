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

struct PathNode;
struct WalkStart;

// Holds a PathNode. Counted by hand rather than by std::shared_ptr, so that the way up
// is let go one node at a time (a tree thousands of levels deep would otherwise be let
// go by as many nested calls) with the ordering that makes it safe between threads.
class NodeRef {
 public:
  NodeRef() = default;
  // Takes over the one reference a new node is made with.
  explicit NodeRef(PathNode* node) : node_(node) {}
  NodeRef(const NodeRef& other);
  // Another reference to a node that is held elsewhere.
  static NodeRef To(const PathNode& node);
  NodeRef(NodeRef&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
  NodeRef& operator=(NodeRef other) noexcept {
    std::swap(node_, other.node_);
    return *this;
  }
  ~NodeRef() { Release(node_); }
  void reset() { Release(std::exchange(node_, nullptr)); }
  PathNode* get() const { return node_; }
  const PathNode* operator->() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }

 private:
  static void Release(PathNode* node);
  PathNode* node_ = nullptr;
};

// A directory of the walk, and the way up to the start, so that a subdirectory can be
// reopened by its path from the nearest directory still held open. Set up before it is
// shared and never changed after.
struct PathNode {
  PathNode(NodeRef p, std::string n, std::shared_ptr<const SharedDirectory> h, DirectoryIdentity i,
           const WalkStart* s)
      : parent(std::move(p)), name(std::move(n)), held(std::move(h)), identity(i), start(s) {}
  PathNode(const PathNode&) = delete;
  PathNode& operator=(const PathNode&) = delete;

  NodeRef parent;  // empty for the start directory
  std::string name;
  // The directory itself, held open while anything below it waits; empty when the
  // handle budget was spent, and it must then be reopened by its name.
  std::shared_ptr<const SharedDirectory> held;
  // Who the directory was when first opened, for directories that are not held: a reopen
  // must find the same one.
  DirectoryIdentity identity;
  // The walk this directory belongs to; owned by the start directory's node alone.
  const WalkStart* start;
  std::shared_ptr<const WalkStart> ownStart;
  mutable std::atomic<std::size_t> references{1};
};

// A subdirectory waiting to be walked: opened from its parent's handle when the parent
// is held, else by its path from the nearest directory that is. Or, with names, entries
// of a large directory (held open) whose details wait to be looked up, so that the
// lookups of one directory run on every thread.
struct WorkItem {
  NodeRef parent;
  std::string name;
  std::string names;  // each name followed by a NUL byte
};

// The pending directories shared by the walk's threads, last in first out: the walk stays
// close to depth-first, and few parents are held open at once.
class WorkList {
 public:
  explicit WorkList(std::size_t handleBudget) : handleBudget_(handleBudget) {}
  // The items left by a stopped walk let go of their handles while the count is there.
  ~WorkList() { items_.clear(); }
  WorkList(const WorkList&) = delete;
  WorkList& operator=(const WorkList&) = delete;

  // Adds the items and empties batch.
  void Push(std::vector<WorkItem>& batch);
  // The next item, waiting while other threads may still add some. Nothing once the list
  // is closed and every item done, or the walk was stopped. The caller calls Done when it
  // has finished it.
  std::optional<WorkItem> Pop();
  // The next item if there is one now; the caller calls Done when it has finished it.
  std::optional<WorkItem> TryPop();
  void Done();
  // No more items will be added than those the items in the list add.
  void Close();
  // True while items wait or are being walked.
  bool Busy();
  // Items that no thread has taken yet.
  std::size_t Waiting();
  // Waits up to timeout; true once the list is closed and every item done, or the walk
  // was stopped.
  bool WaitFinished(std::chrono::nanoseconds timeout);
  // Ends the walk: Pop gives nothing more.
  void Stop();
  // Takes one of the shared handles for a directory just opened; nothing when the budget
  // is spent, and its subdirectories must then be reopened by their paths.
  std::shared_ptr<const SharedDirectory> Share(std::unique_ptr<OpenDirectory>& directory);
  // The directory of a walk's start, which stays open for the whole walk.
  std::shared_ptr<const SharedDirectory> ShareStart(std::unique_ptr<OpenDirectory> directory);

 private:
  void NotifyFinished();
  bool IdleLocked() const { return items_.empty() && busy_ == 0; }
  bool FinishedLocked() const { return stopped_ || (closed_ && IdleLocked()); }

  std::mutex mutex_;
  std::condition_variable workReady_;  // workers wait here
  std::condition_variable finished_;   // the thread watching the walk waits here
  std::vector<WorkItem> items_;
  std::size_t busy_ = 0;  // items taken and not yet done
  bool stopped_ = false;
  bool closed_ = false;
  const std::size_t handleBudget_;
  std::atomic<std::size_t> heldHandles_{0};
};

}  // namespace zovu
