#include "MainQueue.h"

#include "Foundation/NSRunLoop.h"
#include "aurora/MainThread.h"
#include "dispatch/dispatch.h"

namespace aurora {

void MainQueue::post(OnceClosure task) {
  {
    MutexLock lock(mutex_);
    tasks_.push_back(std::move(task));
    count_.store(tasks_.size(), std::memory_order_release);
  }
  // On the main thread the loop is running, not sleeping: no wake-up needed.
  if (!isMainThread()) NSRunLoop::mainRunLoop().wake();
}

bool MainQueue::drain() {
  if (empty()) return false;
  // A task that drains again (a nested run of the loop) finds no spare and
  // takes a new list.
  std::vector<OnceClosure> batch = std::move(spare_);
  {
    MutexLock lock(mutex_);
    batch.swap(tasks_);
    count_.store(0, std::memory_order_relaxed);
  }
  for (auto& task : batch) std::move(task)();
  batch.clear();
  spare_ = std::move(batch);
  return true;
}

void MainQueue::clear() {
  std::vector<OnceClosure> dropped;
  MutexLock lock(mutex_);
  dropped.swap(tasks_);
  count_.store(0, std::memory_order_relaxed);
}

}  // namespace aurora

// The main queue is the only queue; its handle is a tag.
struct dispatch_queue_s {};

dispatch_queue_t dispatch_get_main_queue() {
  static dispatch_queue_s mainQueue;
  return &mainQueue;
}

void dispatch_async(dispatch_queue_t queue, aurora::OnceClosure block) {
  if (queue != dispatch_get_main_queue()) {
    throw aurora::dispatch::UnknownQueue(
        "dispatch_async: the queue is not the main queue (dispatch_get_main_queue()), the only one there is; the task "
        "is not run");
  }
  if (!block) return;
  NSRunLoop::mainRunLoop().mainQueue().post(std::move(block));
}
