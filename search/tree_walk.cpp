#include "search/tree_walk.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
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

struct Pool;

}  // namespace

// What the walk of one start directory has of its own: its entry test and the device it
// started on. It lives while any directory of its walk waits, and counts itself open.
struct WalkStart {
  WalkStart(const MaskList& m, const WalkOptions& options, std::uint64_t device,
            std::function<void()> ended)
      : masks(m),
        test(masks, options.exclusions, options.attrMask),
        startDevice(device),
        ended_(std::move(ended)) {}
  ~WalkStart() { ended_(); }
  WalkStart(const WalkStart&) = delete;
  WalkStart& operator=(const WalkStart&) = delete;

  const MaskList masks;
  const EntryTest test;
  const std::uint64_t startDevice;

 private:
  std::function<void()> ended_;
};

namespace {

// What the walking threads share: the work list, the options and the stop.
struct Walk {
  Walk(DirectoryTree& t, const WalkOptions& o, WalkWatcher& w, EntryDetails d,
       const HandlePlan& plan)
      : tree(t),
        options(o),
        watcher(w),
        details(d),
        work(plan.heldDirectories),
        keptPerThread(plan.keptPerThread) {}

  bool Stopped() const { return stop.load(std::memory_order_relaxed); }
  void Fail(std::string failure) {
    const std::lock_guard lock(failuresMutex);
    failures.Add(std::move(failure));
  }
  // Ends the walk; aborted tells that the watcher asked for it.
  void Stop(bool byWatcher) {
    if (byWatcher) aborted.store(true, std::memory_order_relaxed);
    stop.store(true, std::memory_order_relaxed);
    work.Stop();
  }

  DirectoryTree& tree;
  const WalkOptions options;
  WalkWatcher& watcher;
  const EntryDetails details;
  WorkList work;
  const std::size_t keptPerThread;
  std::atomic<bool> stop{false};
  std::atomic<bool> aborted{false};
  std::mutex failuresMutex;
  WalkFailures failures;
};

constexpr const char* kNoResources = "out of file handles or memory";

// One walking thread: it takes pending directories, lists them, hands their accepted
// entries to its own callback and its subdirectories to the work list.
class Walker final : public ListingSink {
 public:
  Walker(Walk& walk, FileCallback& callback)
      : walk_(walk), callback_(callback), reader_(walk.tree.NewReader()) {}

  // The calling thread walks and watches the walk itself, between entries.
  void WatchBetweenEntries() { watchInline_ = true; }

  // Walks until the work list is finished (waiting for more) or, with wait false, until
  // it holds nothing.
  void Run(bool wait = true) {
    try {
      std::optional<WorkItem> item = NextItem(wait);
      while (item) {
        WalkItem(*item);
        // A subdirectory of a directory that is not held is walked next by this thread,
        // which still has its parent open.
        if (next_) {
          item = std::exchange(next_, std::nullopt);
          continue;
        }
        walk_.work.Done();
        item = NextItem(wait);
      }
    } catch (...) {
      // Out of memory, most likely: the walk ends, and the thread that started it hears why.
      failure = std::current_exception();
      walk_.Stop(false);
    }
  }

  Verdict Consider(const ListedEntry& entry) override {
    if (!KeepGoing()) return Verdict::kStop;
    if (node_->start->test.Rejected(entry.name, entry.attr)) return Verdict::kSkip;
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
    if (!callback_.Item(file)) Fail(PathOf(node_.get(), entry.name), "could not be counted");
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
    if (item.name.empty()) {
      node_ = std::move(item.parent);
      ListNode(node_->held->get(), nullptr);
      return;
    }
    OpenedDirectory opened = OpenUnder(*parent, item.name);
    if (opened.outcome != OpenOutcome::kOpened) {
      if (opened.outcome == OpenOutcome::kExhausted) Fail(PathOf(parent, item.name), kNoResources);
      return;
    }
    std::unique_ptr<OpenDirectory> own = std::move(opened.directory);
    DirectoryIdentity identity;
    if (walk_.options.oneFileSystem) {
      identity = walk_.tree.Identify(*own);
      if (identity.device != parent->start->startDevice) return;  // mounted below the start
    }
    if (!walk_.options.recurse) return;
    std::shared_ptr<const SharedDirectory> held = walk_.work.Share(own);
    // Only a directory that is not held may have to be reopened, and only then is it
    // asked who it is.
    if (held == nullptr && !walk_.options.oneFileSystem) identity = walk_.tree.Identify(*own);
    node_ = NodeRef(
        new PathNode(std::move(item.parent), std::move(item.name), held, identity, parent->start));
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
    if (outcome == ListOutcome::kExhausted) Fail(PathOf(node_.get(), {}), kNoResources);
    node_.reset();
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
        Fail(PathOf(*step, {}), next.outcome == OpenOutcome::kExhausted
                                    ? kNoResources
                                    : "no longer the directory listed there: the tree changed");
        return {};
      }
      current = std::move(next.directory);
    }
    OpenedDirectory opened = walk_.tree.OpenChild(current ? *current : *from, name);
    if (current == nullptr) return opened;
    Keep(NodeRef::To(parent), std::move(current));
    return opened;
  }

  void Fail(std::string path, const char* reason) {
    errors = true;
    walk_.Fail(std::move(path) + ": " + reason);
  }

  // The path of name in directory, or of directory itself when name is empty.
  std::string PathOf(const PathNode* directory, std::string_view name) const {
    std::vector<std::string_view> names;
    if (!name.empty()) names.push_back(name);
    for (const PathNode* at = directory; at != nullptr; at = at->parent.get()) {
      names.push_back(at->name);
    }
    std::string path;
    for (auto part = names.rbegin(); part != names.rend(); ++part) {
      if (!path.empty() && path.back() != '/' && path.back() != walk_.options.separator) {
        path += walk_.options.separator;
      }
      path += *part;
    }
    return path;
  }

  // Directories kept open are let go when there is nothing to do, so that a finished walk
  // holds nothing.
  std::optional<WorkItem> NextItem(bool wait) {
    std::optional<WorkItem> item = walk_.work.TryPop();
    if (item) return item;
    kept_.clear();
    return wait ? walk_.work.Pop() : std::nullopt;
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

// At most this many start directories are open at once per walking thread: a list of
// thousands of lines is not opened all at once.
constexpr std::size_t kStartsPerThread = 2;

}  // namespace

struct TreeWalks::Pool {
  Pool(DirectoryTree& tree, const WalkOptions& options, CallbackSource& callbacks,
       WalkWatcher& watcher)
      : plan(tree.PlanHandles(std::max<std::size_t>(1, options.threads))),
        walk(tree, Planned(options, plan), watcher, callbacks.CallbackFor(0).WantedDetails(),
             plan) {
    for (std::size_t i = 0; i < walk.options.threads; ++i) {
      walkers.emplace_back(walk, callbacks.CallbackFor(i));
    }
  }
  // Whatever happens to the watching thread, no walking thread outlives the walks.
  ~Pool() { Join(); }

  static WalkOptions Planned(WalkOptions options, const HandlePlan& plan) {
    options.threads = std::max<std::size_t>(1, plan.threads);
    return options;
  }

  bool Threaded() const { return walk.options.threads > 1; }

  // Starts up to count more walking threads, as many as the system gives; false when
  // none runs.
  bool StartThreads(std::size_t count) {
    const AsyncSignalsHeld held;
    while (count-- > 0 && threads.size() < walkers.size()) {
      Walker& walker = walkers[threads.size()];
      try {
        threads.emplace_back([&walker] {
          const ThreadCrashStack crashStack;
          walker.Run();
        });
      } catch (const std::system_error&) {
        break;  // the walk goes on with the threads it has
      }
    }
    return !threads.empty();
  }

  void Join() {
    walk.Stop(false);
    for (std::thread& thread : threads) thread.join();
    threads.clear();
  }

  std::uint64_t Entries() const {
    std::uint64_t entries = 0;
    for (const Walker& walker : walkers) entries += walker.progress.load(std::memory_order_relaxed);
    return entries;
  }

  // Threads are started as work waits for them: a small walk, or a list of small ones,
  // is not shared out among threads that would mostly wait for each other.
  void Grow() {
    const std::size_t waiting = walk.work.Waiting();
    if (waiting > threads.size()) StartThreads(waiting - threads.size());
  }

  void Watch() {
    Grow();
    if (walk.watcher.Tick(Entries()) && walk.options.interruptible) walk.Stop(true);
  }

  std::chrono::nanoseconds Interval() const {
    return walk.options.watchInterval.count() > 0 ? walk.options.watchInterval : kShortestWatch;
  }

  // Waits, watching, until another start directory may be opened.
  void WaitForRoom() {
    const std::size_t most = kStartsPerThread * walkers.size();
    std::unique_lock lock(startsMutex);
    while (startsOpen >= most && !walk.Stopped()) {
      startEnded.wait_for(lock, Interval());
      lock.unlock();
      Watch();
      lock.lock();
    }
  }

  void StartEnded() {
    {
      const std::lock_guard lock(startsMutex);
      --startsOpen;
    }
    startEnded.notify_one();
  }

  // Declared first: the walk's last directories may let go of their start as it ends.
  std::mutex startsMutex;
  std::condition_variable startEnded;
  std::size_t startsOpen = 0;
  const HandlePlan plan;
  Walk walk;
  std::deque<Walker> walkers;
  std::vector<std::thread> threads;
  bool inline_ = false;  // the calling thread walks
};

TreeWalks::TreeWalks(DirectoryTree& tree, const WalkOptions& options, CallbackSource& callbacks,
                     WalkWatcher& watcher)
    : pool_(std::make_unique<Pool>(tree, options, callbacks, watcher)) {}

TreeWalks::~TreeWalks() = default;

WalkResult TreeWalks::Add(std::string_view startDir, const MaskList& masks) {
  Pool& pool = *pool_;
  Walk& walk = pool.walk;
  WalkResult result;
  if (walk.Stopped()) return result;
  OpenedDirectory start = walk.tree.OpenStart(startDir);
  if (start.outcome != OpenOutcome::kOpened) {
    result.errors = start.outcome == OpenOutcome::kExhausted;
    result.startProblem = std::move(start.reason);
    return result;
  }
  result.opened = true;
  if (pool.threads.empty() && !pool.inline_) {
    // A key typed before the walk began ends it before anything is counted.
    if (pool.Threaded()) pool.Watch();
    if (walk.Stopped()) return result;
    pool.inline_ = !pool.Threaded() || !pool.StartThreads(1);
    if (pool.inline_) pool.walkers.front().WatchBetweenEntries();
  }
  if (!pool.inline_) pool.WaitForRoom();
  const std::uint64_t device =
      walk.options.oneFileSystem ? walk.tree.Identify(*start.directory).device : 0;
  {
    const std::lock_guard lock(pool.startsMutex);
    ++pool.startsOpen;
  }
  auto owner = std::make_shared<const WalkStart>(masks, walk.options, device,
                                                 [&pool] { pool.StartEnded(); });
  NodeRef root(new PathNode({}, std::string(startDir),
                            walk.work.ShareStart(std::move(start.directory)), {}, owner.get()));
  root.get()->ownStart = std::move(owner);
  std::vector<WorkItem> first{WorkItem{std::move(root), {}}};
  walk.work.Push(first);
  if (pool.inline_) pool.walkers.front().Run(false);
  return result;
}

bool TreeWalks::Busy() {
  return pool_->walk.work.Busy();
}

std::uint64_t TreeWalks::Entries() const {
  return pool_->Entries();
}

void TreeWalks::Stop() {
  pool_->walk.Stop(false);
}

WalkResult TreeWalks::Finish() {
  Pool& pool = *pool_;
  pool.walk.work.Close();
  if (!pool.threads.empty()) {
    while (!pool.walk.work.WaitFinished(pool.Interval())) pool.Watch();
  }
  pool.Join();
  WalkResult result;
  result.opened = true;
  for (const Walker& walker : pool.walkers) {
    if (walker.failure) std::rethrow_exception(walker.failure);
    result.entries += walker.entries;
    result.errors = result.errors || walker.errors;
  }
  result.aborted = pool.walk.aborted.load(std::memory_order_relaxed);
  result.failures = std::move(pool.walk.failures);
  return result;
}

WalkResult WalkTree(DirectoryTree& tree, std::string_view startDir, const MaskList& masks,
                    const WalkOptions& options, CallbackSource& callbacks, WalkWatcher& watcher) {
  TreeWalks walks(tree, options, callbacks, watcher);
  const WalkResult start = walks.Add(startDir, masks);
  if (!start.opened) return start;
  return walks.Finish();
}

}  // namespace zovu
