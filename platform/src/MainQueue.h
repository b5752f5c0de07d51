// The main dispatch queue's storage: a FIFO of tasks that any thread may
// post to and the main run loop drains. A drain swaps the queue out under the
// lock and runs the tasks after releasing it, so a task posted during a drain
// waits for the next one and no task runs while the lock is held. The storage
// of one drain is kept for a later one: a steady stream of tasks allocates no
// list.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "aurora/OnceFunction.h"
#include "aurora/ThreadSafety.h"

namespace aurora {

class MainQueue {
 public:
  // Any thread. Wakes the main run loop when posted from another thread.
  void post(OnceClosure task);
  // Main thread: runs the tasks present now; true if there were any.
  bool drain();
  bool empty() const { return size() == 0; }
  std::size_t size() const { return count_.load(std::memory_order_acquire); }
  // Drops every pending task (their captures are released outside the lock).
  void clear();

 private:
  Mutex mutex_;
  std::vector<OnceClosure> tasks_ AURORA_GUARDED_BY(mutex_);
  // tasks_.size(), readable without the lock: an empty queue is drained
  // without taking it.
  std::atomic<std::size_t> count_{0};
  // Main thread: an emptied list whose capacity the next drain reuses.
  std::vector<OnceClosure> spare_;
};

}  // namespace aurora
