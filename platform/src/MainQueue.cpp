#include "MainQueue.h"

#include "Foundation/NSRunLoop.h"
#include "aurora/MainThread.h"
#include "dispatch/dispatch.h"

namespace aurora {

void MainQueue::post(OnceClosure task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  // On the main thread the loop is running, not sleeping: no wake-up needed.
  if (!isMainThread()) NSRunLoop::mainRunLoop().wake();
}

bool MainQueue::drain() {
  std::deque<OnceClosure> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(tasks_);
  }
  for (auto& task : batch) std::move(task)();
  return !batch.empty();
}

bool MainQueue::empty() const {
  std::lock_guard lock(mutex_);
  return tasks_.empty();
}

std::size_t MainQueue::size() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

void MainQueue::clear() {
  std::deque<OnceClosure> dropped;
  std::lock_guard lock(mutex_);
  dropped.swap(tasks_);
}

}  // namespace aurora

// The main queue is the only queue; its handle is a tag.
struct dispatch_queue_s {};

dispatch_queue_t dispatch_get_main_queue() {
  static dispatch_queue_s mainQueue;
  return &mainQueue;
}

void dispatch_async(dispatch_queue_t queue, aurora::OnceClosure block) {
  if (queue != dispatch_get_main_queue() || !block) return;
  NSRunLoop::mainRunLoop().mainQueue().post(std::move(block));
}
