#include "aurora/DrivenClock.h"

#include <algorithm>
#include <stdexcept>

namespace aurora {

DrivenClock::DrivenClock(std::unique_ptr<Clock> pace) : follows_(std::move(pace)), paceAnchor_(follows_->now()) {}

Nanoseconds DrivenClock::now() const {
  if (pace_ != Pace::Playing) return anchor_;
  return anchor_ + drivenSpan(follows_->now() - paceAnchor_, percent_);
}

void DrivenClock::wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) {
  switch (pace_) {
    case Pace::Jumping:
      if (!fds.empty()) ::poll(fds.data(), fds.size(), 0);
      if (deadline && *deadline > anchor_) anchor_ = *deadline;
      return;
    case Pace::Paused:
      // A deadline already due is due; any later one never comes while paused.
      if (deadline && *deadline <= anchor_) return;
      follows_->wait(std::nullopt, fds);
      return;
    case Pace::Playing:
      if (!deadline) return follows_->wait(std::nullopt, fds);
      const Nanoseconds left = *deadline - now();
      if (left <= Nanoseconds::zero()) return;
      // Rounded up: once the pace gets there, this clock has reached the deadline.
      const Nanoseconds paceLeft = (left * 100 + Nanoseconds{percent_ - 1}) / percent_;
      follows_->wait(follows_->now() + paceLeft, fds);
      return;
  }
}

void DrivenClock::become(Pace pace) {
  anchor_ = now();
  paceAnchor_ = follows_->now();
  pace_ = pace;
}

void DrivenClock::play() { become(Pace::Playing); }
void DrivenClock::pause() { become(Pace::Paused); }
void DrivenClock::jump() { become(Pace::Jumping); }

void DrivenClock::setRate(int percent) {
  if (std::find(std::begin(kDrivenRates), std::end(kDrivenRates), percent) == std::end(kDrivenRates)) {
    throw std::invalid_argument("a driven clock plays at 10, 25, 50 or 100 %");
  }
  become(pace_);
  percent_ = percent;
}

}  // namespace aurora
