#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "search/file_search.h"
#include "search/tree_walk.h"

namespace zovu::testing {

struct Seen {
  std::string name;
  bool directory;
  bool operator==(const Seen&) const = default;
  bool operator<(const Seen& other) const { return name < other.name; }
};

// Records the entries that each walking thread is handed.
class RecordingCallbacks final : public CallbackSource {
 public:
  explicit RecordingCallbacks(EntryDetails details = EntryDetails::kNamesOnly)
      : details_(details) {}
  FileCallback& CallbackFor(std::size_t index) override {
    while (recorders_.size() <= index) recorders_.emplace_back(details_);
    return recorders_[index];
  }
  // Every thread's entries, sorted by name.
  std::vector<Seen> All() const {
    std::vector<Seen> all;
    for (const Recorder& r : recorders_) all.insert(all.end(), r.seen.begin(), r.seen.end());
    std::sort(all.begin(), all.end());
    return all;
  }
  // Walking threads that were given a callback, the calling thread's included.
  std::size_t Walkers() const { return recorders_.size(); }
  // The first thread's entries in the order it was handed them.
  const std::vector<Seen>& FirstThread() const { return recorders_.front().seen; }
  bool Saw(const std::string& name) const {
    const std::vector<Seen> all = All();
    return std::any_of(all.begin(), all.end(), [&](const Seen& s) { return s.name == name; });
  }

 private:
  struct Recorder final : FileCallback {
    explicit Recorder(EntryDetails d) : details(d) {}
    EntryDetails WantedDetails() const override { return details; }
    bool Item(const FoundFile& file) override {
      seen.push_back({std::string(file.Name), (file.Attr & kAttrDirectory) != 0});
      return true;
    }
    EntryDetails details;
    std::vector<Seen> seen;
  };
  EntryDetails details_;
  std::deque<Recorder> recorders_;
};

// Polls a keyboard on every tick; ESC stops the walk.
class KeyWatcher final : public WalkWatcher {
 public:
  explicit KeyWatcher(Keyboard& keyboard) : keyboard_(keyboard) {}
  bool Tick(std::uint64_t) override { return EscPressed(keyboard_); }

 private:
  Keyboard& keyboard_;
};

class QuietWatcher final : public WalkWatcher {
 public:
  bool Tick(std::uint64_t) override { return false; }
};

inline WalkOptions Options(bool recurse, std::size_t threads = 1) {
  WalkOptions options;
  options.recurse = recurse;
  options.threads = threads;
  return options;
}

}  // namespace zovu::testing
