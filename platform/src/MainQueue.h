// The main dispatch queue's storage: a FIFO of tasks that any thread may
// post to and the main run loop drains. A drain swaps the queue out under the
// lock and runs the tasks after releasing it, so a task posted during a drain
// waits for the next one and no task runs while the lock is held.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "aurora/OnceFunction.h"

namespace aurora {

class MainQueue {
 public:
  // Any thread. Wakes the main run loop when posted from another thread.
  void post(OnceClosure task);
  // Main thread: runs the tasks present now; true if there were any.
  bool drain();
  bool empty() const;
  std::size_t size() const;
  // Drops every pending task (their captures are released outside the lock).
  void clear();

 private:
  mutable std::mutex mutex_;
  std::deque<OnceClosure> tasks_;
};

}  // namespace aurora
