#include "TimeControl.h"

#include "Foundation/NSRunLoop.h"
#include "host/FramePacer.h"

namespace studio {

TimeControl::TimeControl(aurora::DrivenClock& clock, std::function<void(Preview::Pace)> showPace,
                         std::function<void()> remakePills, std::function<void(const TimeState&)> tell)
    : clock_(clock),
      showPace_(std::move(showPace)),
      remakePills_(std::move(remakePills)),
      tell_(std::move(tell)),
      origin_(clock.now()) {}

void TimeControl::resprung() {
  origin_ = clock_.now();
  tell_(state());
}

TimeState TimeControl::state() const {
  return {clock_.paused() || clock_.jumping(), clock_.rate(), clock_.now() - origin_};
}

void TimeControl::apply(const TimeChange& change) {
  waiting_.push_back(change);
  if (running_) return;  // the run under way applies it when it is done
  while (!waiting_.empty()) {
    const TimeChange next = waiting_.front();
    waiting_.pop_front();
    applyNow(next);
  }
}

void TimeControl::applyNow(const TimeChange& change) {
  if (change.percent) clock_.setRate(*change.percent);
  if (change.scrubTo) {
    remakePills_();
    origin_ = clock_.now();
    runTo(origin_ + *change.scrubTo);
  }
  if (change.step) runTo(clock_.now() + host::FramePacer::kFrameInterval);
  if (change.paused == true) {
    clock_.pause();
    showPace_(Preview::Pace::Still);
  } else if (change.paused == false) {
    clock_.play();
    showPace_(Preview::Pace::Live);
  }
  tell_(state());
}

void TimeControl::runTo(aurora::Nanoseconds end) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  showPace_(Preview::Pace::Held);
  clock_.jump();
  running_ = true;
  loop.runUntil(end);
  running_ = false;
  clock_.pause();
  // The run returns early only when the loop was told to stop: that stop is the outer run's.
  if (loop.now() < end) loop.stop();
  showPace_(Preview::Pace::Still);
}

}  // namespace studio
