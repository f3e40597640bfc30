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
  // Looks at the walk once from the calling thread, between entries it lists itself;
  // true asks it to stop.
  std::function<bool()> watch;
  // Other threads may take a large directory's lookups.
  bool shareLookups = false;
  // Set once a start directory is found on a file system that answers slowly: more
  // threads walk, and they share the lookups of smaller directories.
  std::atomic<bool> slow{false};
  std::atomic<bool> stop{false};
  std::atomic<bool> aborted{false};
  std::mutex failuresMutex;
  WalkFailures failures;
};

constexpr const char* kNoResources = "out of file handles or memory";

// The first lookups of a listing are made by the thread that lists it: most directories
// are small, and handing their lookups over would cost more than it saves. Past that,
// they go to the work list in batches, for any thread to make. Where every lookup waits
// on a round trip, even a small directory's are worth sharing.
struct LookupSharing {
  std::size_t kept;
  std::size_t perBatch;
};
constexpr LookupSharing kLocalLookups{32, 32};
constexpr LookupSharing kSlowLookups{4, 4};

// One walking thread: it takes pending directories, lists them, hands their accepted
// entries to its own callback and its subdirectories to the work list.
class Walker final : public ListingSink {
 public:
  Walker(Walk& walk, FileCallback& callback) : walk_(walk), callback_(callback) {}

  // The calling thread walks and watches the walk itself, between entries.
  void WatchBetweenEntries() { watchInline_ = true; }

  // Walks until the work list is finished (waiting for more) or, with wait false, until
  // it holds nothing.
  void Run(bool wait = true) {
    Guarded([&] {
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
    });
  }

  // Lists a start directory, leaving its subdirectories to the work list.
  void ListStart(NodeRef start) {
    Guarded([&] {
      node_ = std::move(start);
      ListNode(node_->held->get(), nullptr);
    });
  }

  bool Entry(ListedEntry& entry) override {
    if (!KeepGoing()) return false;
    // A vanished entry whose kind cannot be told is taken as a file, without details.
    if (entry.kindUnknown && !Reader().Describe(*listing_, walk_.details, entry)) {
      entry.detailsApart = false;
    }
    if (node_->start->test.Rejected(entry.name, entry.attr)) return true;
    if (AttrMatches(static_cast<std::uint16_t>(entry.attr), kAttrDirectory)) {
      if (walk_.options.recurse) {
        pending_.push_back(WorkItem{node_, std::string(entry.name), {}});
        if (pending_.size() >= kItemsPerHandOver) walk_.work.Push(pending_);
      }
    } else if (entry.detailsApart) {
      if (!ShareLookup(entry.name)) TakeDescribed(entry);
      return true;
    }
    Take(entry);
    return true;
  }

  // Read by the watching thread while the walk runs; written by this walker alone.
  alignas(64) std::atomic<std::uint64_t> progress{0};
  std::int64_t entries = 0;
  bool errors = false;
  std::exception_ptr failure;

 private:
  template <typename Work>
  void Guarded(Work work) {
    try {
      work();
    } catch (...) {
      // Out of memory, most likely: the walk ends, and the thread that started it hears why.
      failure = std::current_exception();
      walk_.Stop(false);
    }
  }

  // Made in the thread that uses it, and only once it has something to list.
  DirectoryReader& Reader() {
    if (reader_ == nullptr) reader_ = walk_.tree.NewReader();
    return *reader_;
  }

  void Take(const ListedEntry& entry) {
    const FoundFile file{entry.name,   entry.size,  entry.attr, entry.time,
                         entry.device, entry.inode, entry.links};
    if (!callback_.Item(file)) Fail(PathOf(node_.get(), entry.name), "could not be counted");
    ++entries;
    progress.store(static_cast<std::uint64_t>(entries), std::memory_order_relaxed);
  }

  // Looks up the details of a file of the directory being listed, and takes it; one that
  // went away since the listing is taken without them.
  void TakeDescribed(ListedEntry& entry) {
    if (!Reader().Describe(*listing_, walk_.details, entry)) entry.size = 0;
    Take(entry);
  }

  // Leaves the lookup of name to whichever thread takes it from the work list: only in a
  // large directory that stays open for other threads. False when this thread makes it.
  bool ShareLookup(std::string_view name) {
    if (!walk_.shareLookups || !node_->held) return false;
    const LookupSharing sharing =
        walk_.slow.load(std::memory_order_relaxed) ? kSlowLookups : kLocalLookups;
    if (++lookups_ <= sharing.kept) return false;
    batch_.append(name).push_back('\0');
    if ((lookups_ - sharing.kept) % sharing.perBatch == 0) PushLookups();
    return true;
  }

  void PushLookups() {
    if (batch_.empty()) return;
    pending_.push_back(WorkItem{node_, {}, std::move(batch_)});
    batch_.clear();
    walk_.work.Push(pending_);
  }

  // Looks up the details of the names of a batch, in the directory they were listed in.
  void LookUp(WorkItem& item) {
    node_ = std::move(item.parent);
    listing_ = &node_->held->get();
    std::string_view names = item.names;
    while (!names.empty() && KeepGoing()) {
      ListedEntry entry;
      entry.name = names.substr(0, names.find('\0'));
      names.remove_prefix(entry.name.size() + 1);
      TakeDescribed(entry);
    }
    node_.reset();
  }

  void WalkItem(WorkItem& item) {
    if (walk_.Stopped()) return;
    if (!item.names.empty()) return LookUp(item);
    const PathNode* parent = item.parent.get();
    OpenedDirectory opened = OpenUnder(*parent, item.name);
    if (opened.outcome != OpenOutcome::kOpened) {
      if (opened.outcome == OpenOutcome::kExhausted) {
        Fail(PathOf(parent, item.name), opened.reason);
      }
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
    listing_ = &directory;
    lookups_ = 0;
    const ListResult listed = Reader().List(directory, walk_.details, *this);
    PushLookups();
    if (own != nullptr && !pending_.empty() && walk_.keptPerThread > 0) {
      next_ = std::move(pending_.back());
      pending_.pop_back();
      Keep(node_, std::move(own));
    }
    walk_.work.Push(pending_);
    if (listed.outcome == ListOutcome::kExhausted) Fail(PathOf(node_.get(), {}), listed.reason);
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
      if (next.outcome != OpenOutcome::kOpened) {
        Fail(PathOf(*step, {}),
             next.outcome == OpenOutcome::kExhausted ? std::string_view(next.reason) : kGone);
        return {};
      }
      if (walk_.tree.Identify(*next.directory) != (*step)->identity) {
        Fail(PathOf(*step, {}), kReplaced);
        return {};
      }
      current = std::move(next.directory);
    }
    OpenedDirectory opened = walk_.tree.OpenChild(current ? *current : *from, name);
    if (current == nullptr) return opened;
    Keep(NodeRef::To(parent), std::move(current));
    return opened;
  }

  static constexpr const char* kGone = "moved or removed during the walk";
  static constexpr const char* kReplaced = "replaced by another directory during the walk";

  void Fail(std::string path, std::string_view reason) {
    errors = true;
    path += ": ";
    path += reason.empty() ? std::string_view(kNoResources) : reason;
    walk_.Fail(std::move(path));
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
    if (walk_.Stopped()) return false;
    if (!WatchDue()) return true;
    if (walk_.watch()) {
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
  // The directory being listed, or whose entries are being looked up.
  NodeRef node_;
  const OpenDirectory* listing_ = nullptr;
  std::size_t lookups_ = 0;  // entries of this listing that needed a lookup
  std::string batch_;
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
  Pool(DirectoryTree& tree, const WalkOptions& options, CallbackSource& source,
       WalkWatcher& watcher)
      : callbacks(source),
        plan(tree.PlanHandles(MostThreads(options))),
        threadsWhereSlow(Fitted(options.threadsWhereSlow)),
        most(Fitted(options.threads)),
        // The calling thread walks alone where one thread is all there may be; else it
        // lists the start directories, and the walking threads take what lies below them.
        inline_(std::max(most, threadsWhereSlow) <= 1),
        walk(tree, options, watcher, source.CallbackFor(0).WantedDetails(), plan) {
    walk.shareLookups = !inline_;
    walk.watch = [this] { return WatchOnce(); };
    walkers.emplace_back(walk, source.CallbackFor(0));
    walkers.front().WatchBetweenEntries();
  }
  // Whatever happens to the watching thread, no walking thread outlives the walks.
  ~Pool() { Join(); }

  static std::size_t MostThreads(const WalkOptions& options) {
    return std::max<std::size_t>(1, std::max(options.threads, options.threadsWhereSlow));
  }
  std::size_t Fitted(std::size_t threads) const {
    return std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, plan.threads));
  }

  Walker& Caller() { return walkers.front(); }

  // Starts up to count more walking threads, as many as the system gives and the walk
  // may have.
  void StartThreads(std::size_t count) {
    const AsyncSignalsHeld held;
    while (count-- > 0 && threads.size() < most) {
      Walker& walker = walkers.emplace_back(walk, callbacks.CallbackFor(walkers.size()));
      try {
        threads.emplace_back([&walker] {
          const ThreadCrashStack crashStack;
          walker.Run();
        });
      } catch (const std::system_error&) {
        walkers.pop_back();
        most = threads.size();  // the walk goes on with the threads it has
        break;
      }
    }
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
    if (inline_) return;
    const std::size_t waiting = walk.work.Waiting();
    if (waiting > threads.size()) StartThreads(waiting - threads.size());
  }

  // Once a start directory is on a file system that answers slowly, more threads may walk.
  void FitTo(const OpenDirectory& start) {
    if (walk.slow.load(std::memory_order_relaxed) || walk.tree.LatencyOf(start) != Latency::kSlow) {
      return;
    }
    most = std::max(most, threadsWhereSlow);
    walk.slow.store(true, std::memory_order_relaxed);
  }

  // Where no thread could be started, the calling thread walks what waits.
  void WalkWhatNoThreadTakes() {
    if (threads.empty()) Caller().Run(false);
  }

  bool WatchOnce() {
    Grow();
    return walk.watcher.Tick(Entries()) && walk.options.interruptible;
  }

  void Watch() {
    if (WatchOnce()) walk.Stop(true);
  }

  std::chrono::nanoseconds Interval() const {
    return walk.options.watchInterval.count() > 0 ? walk.options.watchInterval : kShortestWatch;
  }

  // Waits, watching, until another start directory may be opened.
  void WaitForRoom() {
    const std::size_t room = kStartsPerThread * most;
    std::unique_lock lock(startsMutex);
    while (startsOpen >= room && !walk.Stopped()) {
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

  CallbackSource& callbacks;
  // Declared before the walk: the walk's last directories may let go of their start as
  // it ends.
  std::mutex startsMutex;
  std::condition_variable startEnded;
  std::size_t startsOpen = 0;
  const HandlePlan plan;
  const std::size_t threadsWhereSlow;
  std::size_t most;  // walking threads that may run besides the calling thread
  const bool inline_;
  bool watched = false;  // the walk was looked at before its first start was listed
  Walk walk;
  std::deque<Walker> walkers;  // the calling thread's first, then one per thread
  std::vector<std::thread> threads;
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
  if (!pool.inline_) {
    // A key typed before the walk began ends it before anything is counted.
    if (!pool.watched) pool.Watch();
    pool.watched = true;
    if (walk.Stopped()) return result;
    pool.FitTo(*start.directory);
    pool.WaitForRoom();
  }
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
  pool.Caller().ListStart(std::move(root));
  pool.Grow();
  pool.WalkWhatNoThreadTakes();
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
  while (!pool.walk.work.WaitFinished(pool.Interval())) {
    pool.Watch();
    pool.WalkWhatNoThreadTakes();
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
