// Time in the user's hand: pause, play at a rate, step one picture, and
// scrub the timeline that starts at the last respring. The host runs on a
// driven clock (aurora/DrivenClock.h); this moves it.
//
// A scrub to t makes the pills anew (a respring) and runs the main run loop
// on jumping time to respring + t at once, then holds it paused: the pills
// are then exactly as a fresh run on the virtual clock has them at t (what
// `auroraribbon-sim --png FILE --at t` draws). A step runs the same way one
// picture interval (host::FramePacer::kFrameInterval) on. While the loop
// jumps, the preview is held; once time stands still it shows what changed.
// The extension is untouched: only the clock's pace changes.
//
//   TimeControl time(clock, [&](Preview::Pace p) { preview.setPace(p); }, remakePills, tell);
//   time.apply(change);   // from the main queue
//
// It does not own the clock. Main thread only; a change asked for while a
// span is being run through (from a task that run serves) waits its turn.
#pragma once

#include <deque>
#include <functional>

#include "Preview.h"
#include "TimeApi.h"
#include "aurora/DrivenClock.h"

namespace studio {

class TimeControl {
 public:
  TimeControl(aurora::DrivenClock& clock, std::function<void(Preview::Pace)> showPace,
              std::function<void()> remakePills, std::function<void(const TimeState&)> tell);

  // The pills were just made anew: the timeline starts here.
  void resprung();
  // In order: rate, scrub, step, paused.
  void apply(const TimeChange& change);
  TimeState state() const;

 private:
  void applyNow(const TimeChange& change);
  void runTo(aurora::Nanoseconds end);

  aurora::DrivenClock& clock_;
  std::function<void(Preview::Pace)> showPace_;
  std::function<void()> remakePills_;
  std::function<void(const TimeState&)> tell_;
  aurora::Nanoseconds origin_;
  bool running_ = false;
  std::deque<TimeChange> waiting_;
};

}  // namespace studio
