#include "search/tree_walk.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/thread_signals.h"
#include "search/entry_test.h"
#include "search/work_list.h"

namespace zovu {
namespace {

using namespace std::chrono_literals;

// A stop is noticed within this many entries; reading a shared flag on every entry would
// cost more than it answers.
constexpr std::size_t kEntriesPerStopCheck = 64;
// Reading the clock on every entry would cost more than watching is worth.
constexpr std::size_t kEntriesPerClockCheck = 64;
// During a long listing, subdirectories are handed to the other threads this many at a time.
constexpr std::size_t kItemsPerHandOver = 64;
// The longest a watching thread waits between two looks when no interval is asked for.
constexpr std::chrono::nanoseconds kShortestWatch = 1ms;

// What the walking threads share: the work list, the start, the entry test and the stop.
struct Walk {
  Walk(DirectoryTree& t, const MaskList& masks, const WalkOptions& o, WalkWatcher& w,
       EntryDetails d, std::size_t heldDirectories)
      : tree(t),
        test(masks, o.exclusions, o.attrMask),
        options(o),
        watcher(w),
        details(d),
        work(heldDirectories) {}

  bool Stopped() const { return stop.load(std::memory_order_relaxed); }
  // Ends the walk; aborted tells that the watcher asked for it.
  void Stop(bool byWatcher) {
    if (byWatcher) aborted.store(true, std::memory_order_relaxed);
    stop.store(true, std::memory_order_relaxed);
    work.Stop();
  }

  DirectoryTree& tree;
  const EntryTest test;
  const WalkOptions& options;
  WalkWatcher& watcher;
  const EntryDetails details;
  WorkList work;
  std::shared_ptr<const SharedDirectory> start;
  NodeRef root;
  std::size_t keptPerThread = 0;
  std::uint64_t startDevice = 0;
  std::atomic<bool> stop{false};
  std::atomic<bool> aborted{false};
};

// One walking thread: it takes pending directories, lists them, hands their accepted
// entries to its own callback and its subdirectories to the work list.
class Walker final : public ListingSink {
 public:
  Walker(Walk& walk, FileCallback& callback)
      : walk_(walk), callback_(callback), reader_(walk.tree.NewReader()) {}

  // The calling thread walks and watches the walk itself, between entries.
  void WatchBetweenEntries() { watchInline_ = true; }

  void Run() {
    try {
      std::optional<WorkItem> item = walk_.work.Pop();
      while (item) {
        WalkItem(*item);
        // A subdirectory of a directory that is not held is walked next by this thread,
        // which still has its parent open.
        if (next_) {
          item = std::exchange(next_, std::nullopt);
          continue;
        }
        walk_.work.Done();
        item = walk_.work.Pop();
      }
      kept_.clear();
    } catch (...) {
      // Out of memory, most likely: the walk ends, and the thread that started it hears why.
      failure = std::current_exception();
      walk_.Stop(false);
    }
  }

  Verdict Consider(const ListedEntry& entry) override {
    if (!KeepGoing()) return Verdict::kStop;
    if (walk_.test.Rejected(entry.name, entry.attr)) return Verdict::kSkip;
    if (walk_.options.recurse &&
        AttrMatches(static_cast<std::uint16_t>(entry.attr), kAttrDirectory)) {
      pending_.push_back(WorkItem{node_, std::string(entry.name)});
      if (pending_.size() >= kItemsPerHandOver) walk_.work.Push(pending_);
    }
    return Verdict::kTake;
  }

  void Take(const ListedEntry& entry) override {
    const FoundFile file{entry.name,   entry.size,  entry.attr, entry.time,
                         entry.device, entry.inode, entry.links};
    if (!callback_.Item(file)) errors = true;
    ++entries;
    progress.store(static_cast<std::uint64_t>(entries), std::memory_order_relaxed);
  }

  // Read by the watching thread while the walk runs; written by this walker alone.
  alignas(64) std::atomic<std::uint64_t> progress{0};
  std::int64_t entries = 0;
  bool errors = false;
  std::exception_ptr failure;

 private:
  void WalkItem(WorkItem& item) {
    if (walk_.Stopped()) return;
    const PathNode* parent = item.parent.get();
    if (parent == nullptr) {
      node_ = walk_.root;
      ListNode(walk_.start->get(), nullptr);
      return;
    }
    OpenedDirectory opened = OpenUnder(*parent, item.name);
    if (opened.outcome != OpenOutcome::kOpened) {
      if (opened.outcome == OpenOutcome::kExhausted) errors = true;
      return;
    }
    std::unique_ptr<OpenDirectory> own = std::move(opened.directory);
    DirectoryIdentity identity;
    if (walk_.options.oneFileSystem) {
      identity = walk_.tree.Identify(*own);
      if (identity.device != walk_.startDevice) return;  // a file system mounted below
    }
    if (!walk_.options.recurse) return;
    std::shared_ptr<const SharedDirectory> held = walk_.work.Share(own);
    // Only a directory that is not held may have to be reopened, and only then is it
    // asked who it is.
    if (held == nullptr && !walk_.options.oneFileSystem) identity = walk_.tree.Identify(*own);
    node_ = NodeRef(new PathNode(std::move(item.parent), std::move(item.name), held, identity));
    const OpenDirectory& directory = held ? held->get() : *own;
    ListNode(directory, std::move(own));
  }

  // Lists the directory of node_; own is its handle when it is not held.
  void ListNode(const OpenDirectory& directory, std::unique_ptr<OpenDirectory>&& own) {
    const ListOutcome outcome = reader_->List(directory, walk_.details, *this);
    if (own != nullptr && !pending_.empty() && walk_.keptPerThread > 0) {
      next_ = std::move(pending_.back());
      pending_.pop_back();
      Keep(node_, std::move(own));
    }
    walk_.work.Push(pending_);
    node_.reset();
    if (outcome == ListOutcome::kExhausted) errors = true;
  }

  // Opens the subdirectory name of parent: from the parent's handle when it is held or
  // kept by this thread, else by its path from the nearest directory that is.
  OpenedDirectory OpenUnder(const PathNode& parent, const std::string& name) {
    if (parent.held) return walk_.tree.OpenChild(parent.held->get(), name);
    if (const OpenDirectory* kept = Kept(&parent)) return walk_.tree.OpenChild(*kept, name);
    return Reopen(parent, name);
  }

  // Every directory on the way down must still be the one first opened there, so that
  // nothing outside the tree is ever walked. The parent is kept for its other children.
  OpenedDirectory Reopen(const PathNode& parent, const std::string& name) {
    way_.clear();
    const OpenDirectory* from = nullptr;
    for (const PathNode* at = &parent; from == nullptr; at = at->parent.get()) {
      if (at->held) {
        from = &at->held->get();
      } else if ((from = Kept(at)) == nullptr) {
        way_.push_back(at);
      }
    }
    std::unique_ptr<OpenDirectory> current;
    for (auto step = way_.rbegin(); step != way_.rend(); ++step) {
      OpenedDirectory next = walk_.tree.OpenChild(current ? *current : *from, (*step)->name);
      if (next.outcome != OpenOutcome::kOpened ||
          walk_.tree.Identify(*next.directory) != (*step)->identity) {
        errors = true;
        return {};
      }
      current = std::move(next.directory);
    }
    OpenedDirectory opened = walk_.tree.OpenChild(current ? *current : *from, name);
    if (current == nullptr) return opened;
    Keep(NodeRef::To(parent), std::move(current));
    return opened;
  }

  const OpenDirectory* Kept(const PathNode* node) const {
    for (const KeptDirectory& kept : kept_) {
      if (kept.node.get() == node) return kept.directory.get();
    }
    return nullptr;
  }

  // Keeps the directory of node open, letting go of the one kept longest.
  void Keep(NodeRef node, std::unique_ptr<OpenDirectory> directory) {
    if (walk_.keptPerThread == 0) return;
    if (kept_.size() >= walk_.keptPerThread) kept_.erase(kept_.begin());
    kept_.push_back({std::move(node), std::move(directory)});
  }

  // False once the walk is to end.
  bool KeepGoing() {
    if (!watchInline_) {
      if (++sinceStopCheck_ < kEntriesPerStopCheck) return true;
      sinceStopCheck_ = 0;
      return !walk_.Stopped();
    }
    if (!WatchDue()) return true;
    if (walk_.watcher.Tick(static_cast<std::uint64_t>(entries)) && walk_.options.interruptible) {
      walk_.Stop(true);
      return false;
    }
    return true;
  }

  bool WatchDue() {
    const std::chrono::nanoseconds interval = walk_.options.watchInterval;
    if (interval.count() <= 0) return true;
    if (watchedOnce_ && ++sinceClockCheck_ < kEntriesPerClockCheck) return false;
    sinceClockCheck_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (watchedOnce_ && now - lastWatch_ < interval) return false;
    watchedOnce_ = true;
    lastWatch_ = now;
    return true;
  }

  Walk& walk_;
  FileCallback& callback_;
  std::unique_ptr<DirectoryReader> reader_;
  bool watchInline_ = false;
  std::size_t sinceStopCheck_ = 0;
  std::size_t sinceClockCheck_ = 0;
  bool watchedOnce_ = false;
  std::chrono::steady_clock::time_point lastWatch_{};
  struct KeptDirectory {
    NodeRef node;
    std::unique_ptr<OpenDirectory> directory;
  };
  // The directory being listed.
  NodeRef node_;
  std::optional<WorkItem> next_;
  std::vector<KeptDirectory> kept_;
  std::vector<WorkItem> pending_;
  std::vector<const PathNode*> way_;
};

// Starts a thread per walker, as many as the system gives; the calling thread watches.
// Returns false when no thread could be started.
bool RunThreads(Walk& walk, std::deque<Walker>& walkers) {
  std::vector<std::thread> threads;
  {
    const AsyncSignalsHeld held;
    for (Walker& walker : walkers) {
      try {
        threads.emplace_back([&walker] {
          const ThreadCrashStack crashStack;
          walker.Run();
        });
      } catch (const std::system_error&) {
        break;  // the walk goes on with the threads it has
      }
    }
  }
  if (threads.empty()) return false;
  // Whatever happens to the watching thread, no walking thread outlives the walk.
  struct Joiner {
    Walk& walk;
    std::vector<std::thread>& threads;
    ~Joiner() {
      walk.Stop(false);
      for (std::thread& thread : threads) thread.join();
    }
  } joiner{walk, threads};
  const auto interval =
      walk.options.watchInterval.count() > 0 ? walk.options.watchInterval : kShortestWatch;
  while (!walk.work.WaitFinished(interval)) {
    std::uint64_t entries = 0;
    for (const Walker& walker : walkers) entries += walker.progress.load(std::memory_order_relaxed);
    if (walk.watcher.Tick(entries) && walk.options.interruptible) walk.Stop(true);
  }
  return true;
}

}  // namespace

WalkResult WalkTree(DirectoryTree& tree, std::string_view startDir, const MaskList& masks,
                    const WalkOptions& options, CallbackSource& callbacks, WalkWatcher& watcher) {
  WalkResult result;
  OpenedDirectory start = tree.OpenStart(startDir);
  if (start.outcome != OpenOutcome::kOpened) {
    result.errors = start.outcome == OpenOutcome::kExhausted;
    result.startProblem = std::move(start.reason);
    return result;
  }
  result.opened = true;
  const HandlePlan plan = tree.PlanHandles(std::max<std::size_t>(1, options.threads));
  WalkOptions walkOptions = options;
  walkOptions.threads = std::max<std::size_t>(1, plan.threads);
  const EntryDetails details = callbacks.CallbackFor(0).WantedDetails();
  Walk walk(tree, masks, walkOptions, watcher, details, plan.heldDirectories);
  walk.start = walk.work.ShareStart(std::move(start.directory));
  walk.startDevice = tree.Identify(walk.start->get()).device;
  walk.root = NodeRef(new PathNode({}, std::string(startDir), walk.start, {}));
  walk.keptPerThread = plan.keptPerThread;

  std::deque<Walker> walkers;
  for (std::size_t i = 0; i < walkOptions.threads; ++i)
    walkers.emplace_back(walk, callbacks.CallbackFor(i));
  // A key typed before the walk began ends it before anything is counted.
  const bool threaded = walkOptions.threads > 1;
  if (threaded && watcher.Tick(0) && walkOptions.interruptible) walk.Stop(true);
  std::vector<WorkItem> first(1);
  walk.work.Push(first);
  if (!walk.Stopped() && (!threaded || !RunThreads(walk, walkers))) {
    walkers.front().WatchBetweenEntries();
    walkers.front().Run();
  }
  for (const Walker& walker : walkers) {
    if (walker.failure) std::rethrow_exception(walker.failure);
    result.entries += walker.entries;
    result.errors = result.errors || walker.errors;
  }
  result.aborted = walk.aborted.load(std::memory_order_relaxed);
  return result;
}

}  // namespace zovu
