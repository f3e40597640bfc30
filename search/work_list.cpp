#include "search/work_list.h"

#include <iterator>

namespace zovu {

NodeRef::NodeRef(const NodeRef& other) : node_(other.node_) {
  if (node_ != nullptr) node_->references.fetch_add(1, std::memory_order_relaxed);
}

NodeRef NodeRef::To(const PathNode& node) {
  node.references.fetch_add(1, std::memory_order_relaxed);
  return NodeRef(const_cast<PathNode*>(&node));
}

void NodeRef::Release(PathNode* node) {
  // The last holder of a node sees every earlier holder's work on it before deleting it.
  while (node != nullptr && node->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    PathNode* up = std::exchange(node->parent.node_, nullptr);
    delete node;
    node = up;
  }
}

void WorkList::Push(std::vector<WorkItem>& batch) {
  if (batch.empty()) return;
  {
    const std::lock_guard lock(mutex_);
    items_.insert(items_.end(), std::make_move_iterator(batch.begin()),
                  std::make_move_iterator(batch.end()));
  }
  if (batch.size() == 1) {
    workReady_.notify_one();
  } else {
    workReady_.notify_all();
  }
  batch.clear();
}

std::optional<WorkItem> WorkList::Pop() {
  std::unique_lock lock(mutex_);
  workReady_.wait(lock, [this] { return !items_.empty() || FinishedLocked(); });
  if (stopped_ || items_.empty()) return std::nullopt;
  WorkItem item = std::move(items_.back());
  items_.pop_back();
  ++busy_;
  return item;
}

std::optional<WorkItem> WorkList::TryPop() {
  const std::lock_guard lock(mutex_);
  if (stopped_ || items_.empty()) return std::nullopt;
  WorkItem item = std::move(items_.back());
  items_.pop_back();
  ++busy_;
  return item;
}

void WorkList::Close() {
  bool finished = false;
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    finished = FinishedLocked();
  }
  if (finished) NotifyFinished();
}

std::size_t WorkList::Waiting() {
  const std::lock_guard lock(mutex_);
  return items_.size();
}

bool WorkList::Busy() {
  const std::lock_guard lock(mutex_);
  return !IdleLocked();
}

void WorkList::Done() {
  bool finished = false;
  {
    const std::lock_guard lock(mutex_);
    --busy_;
    finished = IdleLocked();
  }
  if (finished) NotifyFinished();
}

void WorkList::NotifyFinished() {
  workReady_.notify_all();
  finished_.notify_all();
}

bool WorkList::WaitFinished(std::chrono::nanoseconds timeout) {
  std::unique_lock lock(mutex_);
  return finished_.wait_for(lock, timeout, [this] { return FinishedLocked(); });
}

void WorkList::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  NotifyFinished();
}

std::shared_ptr<const SharedDirectory> WorkList::Share(std::unique_ptr<OpenDirectory>& directory) {
  if (heldHandles_.fetch_add(1, std::memory_order_relaxed) >= handleBudget_) {
    heldHandles_.fetch_sub(1, std::memory_order_relaxed);
    return nullptr;
  }
  return std::make_shared<const SharedDirectory>(std::move(directory), heldHandles_);
}

std::shared_ptr<const SharedDirectory> WorkList::ShareStart(
    std::unique_ptr<OpenDirectory> directory) {
  heldHandles_.fetch_add(1, std::memory_order_relaxed);
  return std::make_shared<const SharedDirectory>(std::move(directory), heldHandles_);
}

}  // namespace zovu
