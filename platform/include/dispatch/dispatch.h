// The main dispatch queue.
//
//   dispatch_async(dispatch_get_main_queue(), [weak] { ... });
//
// Promises:
// - Posting never runs the task synchronously, not even on the main thread.
// - Tasks run on the main thread, one at a time, in the order posted.
// - A drain runs only the tasks present when it began; a task posted during a
//   drain runs on the next turn of the run loop (at the same instant).
// - Posting is safe from any thread and wakes a sleeping run loop.
// - The main queue is the only one: posting to any other (a null queue, say)
//   throws aurora::dispatch::UnknownQueue, and the task is not run.
// Not promised: when, in wall time, a task runs; only its order.
#pragma once

#include <stdexcept>

#include "aurora/OnceFunction.h"

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;

namespace aurora::dispatch {

class UnknownQueue : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace aurora::dispatch

dispatch_queue_t dispatch_get_main_queue();
void dispatch_async(dispatch_queue_t queue, aurora::OnceClosure block);
