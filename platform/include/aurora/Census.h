// Census: how many platform objects are alive or pending right now, so that a
// long run can show it leaves nothing behind. Views and layers are counted in
// their constructors and destructors; timers, queued tasks and animations are
// what the main run loop holds.
//
//   aurora::Census before = aurora::takeCensus();
//   ... make and destroy pills ...
//   assert(aurora::takeCensus() == before);
//
// The census is a plain value; taking one owns nothing. Main thread only (the
// run loop's parts are main-thread objects; the view and layer counts
// themselves are atomic).
#pragma once

#include <cstddef>

namespace aurora {

struct Census {
  std::size_t views = 0;         // UIView objects alive, of every class
  std::size_t layers = 0;        // CALayer objects alive, gradient layers included
  std::size_t timers = 0;        // timers scheduled on the main run loop
  std::size_t pendingTasks = 0;  // tasks queued on the main dispatch queue
  std::size_t animations = 0;    // block animations not yet ended, endless ones included
  friend bool operator==(const Census&, const Census&) = default;
};

Census takeCensus();

}  // namespace aurora
