// A clock whose pace the user sets: it follows another clock (its pace: the
// real clock in the studio, a virtual one in tests) at a rate, stands still
// when paused, or jumps from deadline to deadline as a virtual clock does,
// so a span of animation can be run through at once and repeat to the bit.
//
// Playing at rate r, its time advances r times as fast as its pace's, and
// wait() waits on the pace for (deadline - now) / r, still waking for the
// given descriptors. Paused, its time stands still and wait() waits for the
// descriptors alone: the loop sleeps, yet hears posts from other threads.
// Jumping, wait() checks the descriptors without blocking and moves its time
// to the deadline. Each change of pace keeps the time where it is.
//
// It owns its pace. Main thread only, like every clock of the run loop.
#pragma once

#include <memory>

#include "aurora/Clock.h"

namespace aurora {

// The rates a driven clock plays at, in percent of its pace.
inline constexpr int kDrivenRates[] = {10, 25, 50, 100};

// How far a driven clock moves while its pace moves `paceSpan` at `percent`.
inline Nanoseconds drivenSpan(Nanoseconds paceSpan, int percent) { return paceSpan * percent / 100; }

class DrivenClock final : public Clock {
 public:
  // Plays at 100 % from `pace`'s present time.
  explicit DrivenClock(std::unique_ptr<Clock> pace);

  Nanoseconds now() const override;
  bool isVirtual() const override { return false; }
  void wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) override;

  void play();
  void pause();
  void jump();
  // One of kDrivenRates; anything else throws std::invalid_argument.
  void setRate(int percent);

  bool paused() const { return pace_ == Pace::Paused; }
  bool jumping() const { return pace_ == Pace::Jumping; }
  int rate() const { return percent_; }

 private:
  enum class Pace { Playing, Paused, Jumping };
  // Keeps the time where it is, then changes pace.
  void become(Pace pace);

  std::unique_ptr<Clock> follows_;
  Pace pace_ = Pace::Playing;
  int percent_ = 100;
  Nanoseconds anchor_{0};      // this clock's time when the pace last changed
  Nanoseconds paceAnchor_{0};  // the pace's time then
};

}  // namespace aurora
