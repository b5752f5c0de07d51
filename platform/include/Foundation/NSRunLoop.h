// NSRunLoop: the main run loop, which drives everything that happens after
// start-up: the main dispatch queue, timers, the ends of block animations,
// layout passes, and readable descriptors (the notification socket).
//
// At each instant, in this order:
//   1. host commands due at this instant (performAt), in the order given;
//   2. turns, until nothing is left to do at this instant. A turn drains the
//      main queue (only the tasks present when the drain began), fires the due
//      timers of the current mode (by fire date, then creation order), ends the
//      due animations (by end time, then start order) and runs their
//      completions, and runs the layout passes of the views marked before the
//      passes began (parents before children);
//   3. then it waits for the next deadline: a virtual clock jumps there, a real
//      clock sleeps until then, a cross-thread post or a readable descriptor.
//
// Modes: the loop runs in the default or the tracking mode; both belong to the
// common modes. The main queue is drained in every mode; a timer fires only in
// a mode it was added to.
//
//   NSRunLoop& loop = NSRunLoop::mainRunLoop();
//   loop.reset(std::make_unique<aurora::VirtualClock>());
//   loop.runFor(std::chrono::seconds(2));
//
// The main run loop is made when the platform library loads, bound to the
// thread that loads it (the main thread), and never destroyed. Everything but
// wake() and stop() is called on the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "Foundation/NSTimer.h"
#include "aurora/Clock.h"
#include "aurora/OnceFunction.h"

enum class NSRunLoopMode : unsigned { Default = 1, Tracking = 2, Common = 3 };
inline constexpr NSRunLoopMode NSDefaultRunLoopMode = NSRunLoopMode::Default;
inline constexpr NSRunLoopMode UITrackingRunLoopMode = NSRunLoopMode::Tracking;
inline constexpr NSRunLoopMode NSRunLoopCommonModes = NSRunLoopMode::Common;

// "NSDefaultRunLoopMode", "UITrackingRunLoopMode", "NSRunLoopCommonModes".
const char* NSRunLoopModeName(NSRunLoopMode mode);

namespace aurora {
class MainQueue;
class AnimationEngine;
class LayoutScheduler;
}  // namespace aurora

class NSRunLoop {
 public:
  static NSRunLoop& mainRunLoop();

  void addTimer(const std::shared_ptr<NSTimer>& timer, NSRunLoopMode mode);

  // --- Host and test controls ---

  // Starts over with `clock`: drops every pending task, timer, animation,
  // layout mark and command, and runs in the default mode at the clock's time.
  // Sources stay: they belong to process-wide services such as the
  // notification centre.
  void reset(std::unique_ptr<aurora::Clock> clock);
  aurora::Clock& clock() { return *clock_; }
  aurora::Nanoseconds now() const { return clock_->now(); }

  // The default or the tracking mode (not the common modes).
  void setMode(NSRunLoopMode mode);

  // Runs `command` at `when`, before anything else due then.
  void performAt(aurora::Nanoseconds when, aurora::OnceClosure command);

  // Runs until the clock reaches `end` (everything due at `end` included), or
  // until stop().
  void runUntil(aurora::Nanoseconds end);
  void runFor(aurora::Nanoseconds duration) { runUntil(now() + duration); }
  // Runs until stop().
  void run();
  // Makes run/runUntil return after the current instant. Any thread.
  void stop();
  // Wakes a sleeping loop. Any thread.
  void wake();

  // Calls `onReadable` on the main thread whenever `fd` is readable.
  void addSource(int fd, std::function<void()> onReadable);
  void removeSource(int fd);

  // The number of timers the loop keeps scheduled.
  std::size_t scheduledTimerCount() const { return timers_.size(); }

  aurora::MainQueue& mainQueue() { return *mainQueue_; }
  aurora::AnimationEngine& animations() { return *animations_; }
  aurora::LayoutScheduler& layout() { return *layout_; }

  NSRunLoop(const NSRunLoop&) = delete;
  NSRunLoop& operator=(const NSRunLoop&) = delete;
  ~NSRunLoop() = delete;  // the main run loop lives as long as the process

 private:
  friend class NSTimer;
  NSRunLoop();

  struct ScheduledTimer {
    aurora::Nanoseconds fireDate;
    std::uint64_t serial;
    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads a defaulted <=>
    friend auto operator<=>(const ScheduledTimer&, const ScheduledTimer&) = default;
  };

  void removeTimer(const NSTimer& timer);
  void runInstant();
  bool turn();
  bool runHostCommands();
  bool fireDueTimers(aurora::Nanoseconds instant);
  // Waits on the clock, then serves the wake-up descriptor and readable sources.
  void waitFor(std::optional<aurora::Nanoseconds> deadline);
  std::optional<aurora::Nanoseconds> nextDeadline() const;

  std::unique_ptr<aurora::Clock> clock_;
  NSRunLoopMode mode_ = NSRunLoopMode::Default;
  std::map<ScheduledTimer, std::shared_ptr<NSTimer>> timers_;
  std::vector<std::shared_ptr<NSTimer>> dueSpare_;  // fireDueTimers' list, kept for reuse
  std::multimap<aurora::Nanoseconds, aurora::OnceClosure> commands_;
  std::vector<std::pair<int, std::function<void()>>> sources_;
  std::unique_ptr<aurora::MainQueue> mainQueue_;
  std::unique_ptr<aurora::AnimationEngine> animations_;
  std::unique_ptr<aurora::LayoutScheduler> layout_;
  int wakeFd_;
  std::atomic<bool> stopRequested_{false};
};
