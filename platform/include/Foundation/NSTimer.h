// NSTimer: a block run by the main run loop after an interval, once or
// repeatedly.
//
//   auto timer = NSTimer::timerWithTimeInterval(0.05, true, [](NSTimer& t) { ... });
//   NSRunLoop::mainRunLoop().addTimer(timer, NSDefaultRunLoopMode);
//
// Promises:
// - The interval is taken once, when the timer is made: one not above 0.1 ms
//   (0, negatives and NaN included) becomes 0.1 ms; +infinity and anything
//   above 10^9 s mean the timer never fires by itself.
// - Fire dates are the creation time plus whole multiples of the interval; a
//   timer never fires early and never drifts. When the run loop missed one or
//   more fire dates (busy, or in a mode the timer is not in), the timer fires
//   once and moves on to the next future multiple: no catch-up burst.
// - It fires only while the main run loop runs in a mode it was added to.
// - `fire` runs the block at once, inside the call, and leaves the schedule
//   alone; a one-shot timer is invalidated by firing.
// - `invalidate` takes the timer off the run loop for good and releases its
//   block (after the block returns, when called from inside it).
//
// Ownership: the run loop keeps scheduled timers alive until they are
// invalidated. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "aurora/Time.h"

class NSTimer : public std::enable_shared_from_this<NSTimer> {
 public:
  using Block = std::function<void(NSTimer&)>;

  static std::shared_ptr<NSTimer> timerWithTimeInterval(double seconds, bool repeats, Block block);

  void fire();
  void invalidate();
  bool isValid() const { return valid_; }

  double timeInterval() const { return intervalAsGiven_; }
  bool repeats() const { return repeats_; }
  std::uint64_t serial() const { return serial_; }
  // The next fire date, or nullopt when the timer never fires by itself.
  std::optional<aurora::Nanoseconds> fireDate() const;

  NSTimer(double seconds, bool repeats, Block block);

 private:
  friend class NSRunLoop;
  // The caller keeps the timer alive while its block runs.
  void runBlock();
  // The first whole multiple of the interval after `now`.
  aurora::Nanoseconds nextFireDateAfter(aurora::Nanoseconds now) const;

  const double intervalAsGiven_;
  const std::optional<aurora::Nanoseconds> interval_;
  const bool repeats_;
  const aurora::Nanoseconds origin_;
  const std::uint64_t serial_;
  aurora::Nanoseconds nextFire_;
  Block block_;
  bool valid_ = true;
  int running_ = 0;
  unsigned modes_ = 0;
};
