// The walk against a tree held in memory that changes while it is walked: a directory
// moved out of the tree must never lead the walk outside it.
#include "search/tree_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "unit/walk_rig.h"

namespace zovu {
namespace {

using testing::Options;
using testing::QuietWatcher;
using testing::RecordingCallbacks;

struct Node {
  bool directory = false;
  std::uint64_t id = 0;
  std::map<std::string, std::shared_ptr<Node>> children;
};

// Directories found by name from their parent node; listings see the tree as it is when
// they begin. The walk's own thread moves things around, so no locks are needed.
class ChangingTree final : public DirectoryTree {
 public:
  explicit ChangingTree(std::size_t heldDirectories) : held_(heldDirectories) {}

  std::shared_ptr<Node> Add(const std::shared_ptr<Node>& parent, const std::string& name,
                            bool directory) {
    auto node = std::make_shared<Node>();
    node->directory = directory;
    node->id = ++lastId_;
    parent->children[name] = node;
    return node;
  }

  OpenedDirectory OpenStart(std::string_view path) override {
    const auto found = root->children.find(std::string(path));
    return found == root->children.end() ? OpenedDirectory{} : Open(found->second);
  }
  OpenedDirectory OpenChild(const OpenDirectory& parent, std::string_view name) override {
    const auto& children = static_cast<const Dir&>(parent).node->children;
    const auto found = children.find(std::string(name));
    return found == children.end() || !found->second->directory ? OpenedDirectory{}
                                                                : Open(found->second);
  }
  DirectoryIdentity Identify(const OpenDirectory& dir) override {
    return {1, static_cast<const Dir&>(dir).node->id};
  }
  std::unique_ptr<DirectoryReader> NewReader() override { return std::make_unique<Reader>(); }
  HandlePlan PlanHandles(std::size_t threads) override { return {threads, held_}; }
  Latency LatencyOf(const OpenDirectory&) override { return latency; }

  std::shared_ptr<Node> root = std::make_shared<Node>();
  Latency latency = Latency::kLocal;

 private:
  struct Dir final : OpenDirectory {
    explicit Dir(std::shared_ptr<Node> n) : node(std::move(n)) {}
    std::shared_ptr<Node> node;
  };
  struct Reader final : DirectoryReader {
    ListResult List(const OpenDirectory& dir, EntryDetails, ListingSink& sink) override {
      const auto children = static_cast<const Dir&>(dir).node->children;
      for (const auto& [name, node] : children) {
        ListedEntry entry{name, node->directory ? kAttrDirectory : 0u, 0, 0, node->id};
        if (!sink.Entry(entry)) return ListOutcome::kStopped;
      }
      return ListOutcome::kComplete;
    }
  };
  OpenedDirectory Open(const std::shared_ptr<Node>& node) {
    return {std::make_unique<Dir>(node), OpenOutcome::kOpened};
  }

  std::size_t held_;
  std::uint64_t lastId_ = 0;
};

// Records names, and once the named entry is handed over, changes the tree.
class ChangingCallbacks final : public CallbackSource, FileCallback {
 public:
  ChangingCallbacks(std::string trigger, std::function<void()> change)
      : trigger_(std::move(trigger)), change_(std::move(change)) {}
  FileCallback& CallbackFor(std::size_t) override { return *this; }
  EntryDetails WantedDetails() const override { return EntryDetails::kNamesOnly; }
  bool Item(const FoundFile& file) override {
    names.emplace_back(file.Name);
    if (file.Name == trigger_) change_();
    return true;
  }
  std::vector<std::string> names;

 private:
  std::string trigger_;
  std::function<void()> change_;
};

TEST(TreeWalk, ADirectoryMovedOutOfTheTreeNeverLeadsTheWalkOutside) {
  // T/P/B/b.c and T/P/A/a.c; O/o.c lies outside T. B is walked before A; while the walk
  // is inside B, something happens to the tree.
  enum class Change { kNone, kMoveB, kReplaceP, kMoveP };
  const struct {
    const char* what;
    std::size_t held;  // 0: every directory below T's children is reopened by its path
    Change change;
    std::vector<std::string> names;
    bool errors;
  } cases[] = {
      {"held handles, nothing moves",
       SIZE_MAX,
       Change::kNone,
       {"P", "A", "B", "b.c", "a.c"},
       false},
      {"reopened by path, nothing moves", 0, Change::kNone, {"P", "A", "B", "b.c", "a.c"}, false},
      // P's other subdirectory is still opened from P, not from where B went.
      {"held handles, B moved to O",
       SIZE_MAX,
       Change::kMoveB,
       {"P", "A", "B", "b.c", "a.c"},
       false},
      {"reopened by path, B moved to O", 0, Change::kMoveB, {"P", "A", "B", "b.c", "a.c"}, false},
      // Another directory now stands at T/P: A is not looked for in it.
      {"reopened by path, P replaced", 0, Change::kReplaceP, {"P", "A", "B", "b.c"}, true},
      {"reopened by path, P moved to O", 0, Change::kMoveP, {"P", "A", "B", "b.c"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ChangingTree tree(c.held);
    const auto t = tree.Add(tree.root, "T", true);
    const auto o = tree.Add(tree.root, "O", true);
    tree.Add(o, "o.c", false);
    const auto p = tree.Add(t, "P", true);
    tree.Add(tree.Add(p, "A", true), "a.c", false);
    tree.Add(tree.Add(p, "B", true), "b.c", false);
    const auto decoy = std::make_shared<Node>(Node{true, 999, {}});
    tree.Add(tree.Add(decoy, "A", true), "o.c", false);
    ChangingCallbacks callbacks("b.c", [&] {
      switch (c.change) {
        case Change::kNone:
          break;
        case Change::kMoveB:
          o->children["B"] = p->children["B"];
          p->children.erase("B");
          break;
        case Change::kReplaceP:
          t->children["P"] = decoy;
          break;
        case Change::kMoveP:
          o->children["P"] = p;
          t->children.erase("P");
          break;
      }
    });
    QuietWatcher watcher;
    const WalkResult result =
        WalkTree(tree, "T", MaskList("*.*"), Options(true), callbacks, watcher);
    EXPECT_EQ(callbacks.names, c.names);
    EXPECT_EQ(result.errors, c.errors);
  }
}

TEST(TreeWalk, ReopensFromHeldAncestorsWithSeveralThreads) {
  // Four levels of three directories with a file in each; with two held handles most
  // directories are reached again by their paths, by several threads at once.
  ChangingTree tree(2);
  std::size_t expected = 0;
  const std::function<void(const std::shared_ptr<Node>&, int)> grow = [&](const auto& dir,
                                                                          int levels) {
    tree.Add(dir, "f.c", false);
    ++expected;
    for (int i = 0; levels > 0 && i < 3; ++i, ++expected) {
      grow(tree.Add(dir, "d" + std::to_string(i), true), levels - 1);
    }
  };
  grow(tree.Add(tree.root, "T", true), 4);
  RecordingCallbacks callbacks;
  QuietWatcher watcher;
  const WalkResult result =
      WalkTree(tree, "T", MaskList("*.*"), Options(true, 4), callbacks, watcher);
  EXPECT_EQ(callbacks.All().size(), expected);
  EXPECT_FALSE(result.errors);
}

TEST(TreeWalk, MoreThreadsWalkWhereTheFileSystemAnswersSlowly) {
  for (const Latency latency : {Latency::kLocal, Latency::kSlow}) {
    ChangingTree tree(SIZE_MAX);
    tree.latency = latency;
    const auto top = tree.Add(tree.root, "T", true);
    for (int i = 0; i < 20; ++i)
      tree.Add(tree.Add(top, "d" + std::to_string(i), true), "f.c", false);
    WalkOptions options = Options(true, 2);
    options.threadsWhereSlow = 6;
    RecordingCallbacks callbacks;
    QuietWatcher watcher;
    WalkTree(tree, "T", MaskList("*.*"), options, callbacks, watcher);
    EXPECT_EQ(callbacks.All().size(), 40u);
    // The calling thread lists the start; as many threads as may take the rest start.
    EXPECT_EQ(callbacks.Walkers(), latency == Latency::kSlow ? 7u : 3u);
  }
}

// Start directories with nothing below them, as a list file of leaf directories names,
// are listed by the calling thread: no thread is started for them.
TEST(TreeWalk, StartsWithoutSubdirectoriesStartNoThread) {
  ChangingTree tree(SIZE_MAX);
  for (int i = 0; i < 50; ++i) {
    tree.Add(tree.Add(tree.root, "L" + std::to_string(i), true), "f.c", false);
  }
  RecordingCallbacks callbacks;
  QuietWatcher watcher;
  TreeWalks walks(tree, Options(true, 16), callbacks, watcher);
  for (int i = 0; i < 50; ++i)
    EXPECT_TRUE(walks.Add("L" + std::to_string(i), MaskList("*.*")).opened);
  walks.Finish();
  EXPECT_EQ(callbacks.All().size(), 50u);
  EXPECT_EQ(callbacks.Walkers(), 1u);
}

}  // namespace
}  // namespace zovu
