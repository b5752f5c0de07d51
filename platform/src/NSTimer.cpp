#include "Foundation/NSTimer.h"

#include <atomic>

#include "Foundation/NSRunLoop.h"
#include "aurora/MainThread.h"
#include "aurora/PlatformObserver.h"

namespace {

std::atomic<std::uint64_t> gNextTimerSerial{1};

}  // namespace

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(double seconds, bool repeats, Block block) {
  aurora::requireMainThread("+[NSTimer timerWithTimeInterval:repeats:block:]");
  auto timer = std::make_shared<NSTimer>(seconds, repeats, std::move(block));
  aurora::tellObservers(&aurora::PlatformObserver::timerCreated, *timer);
  return timer;
}

NSTimer::NSTimer(double seconds, bool repeats, Block block)
    : intervalAsGiven_(seconds),
      interval_(aurora::timerIntervalFromSeconds(seconds)),
      repeats_(repeats),
      origin_(NSRunLoop::mainRunLoop().now()),
      serial_(gNextTimerSerial.fetch_add(1, std::memory_order_relaxed)),
      nextFire_(interval_ ? origin_ + *interval_ : aurora::Nanoseconds::max()),
      block_(std::move(block)) {}

std::optional<aurora::Nanoseconds> NSTimer::fireDate() const {
  if (!valid_ || nextFire_ == aurora::Nanoseconds::max()) return std::nullopt;
  return nextFire_;
}

aurora::Nanoseconds NSTimer::nextFireDateAfter(aurora::Nanoseconds now) const {
  // nextFire_ is origin_ + k x interval: when `now` lies before the next
  // multiple, that multiple is the answer, with no division.
  if (nextFire_ <= now && now - nextFire_ < *interval_) return nextFire_ + *interval_;
  const auto k = (now - origin_) / *interval_ + 1;
  return origin_ + k * *interval_;
}

void NSTimer::fire() {
  aurora::requireMainThread("-[NSTimer fire]");
  if (!valid_) return;
  auto keepAlive = shared_from_this();
  runBlock();
  if (!repeats_) invalidate();
}

void NSTimer::runBlock() {
  aurora::tellObservers(&aurora::PlatformObserver::timerFired, *this);
  ++running_;
  if (block_) block_(*this);
  --running_;
  if (!valid_ && running_ == 0) {
    Block released = std::move(block_);
    block_ = nullptr;
  }
}

void NSTimer::invalidate() {
  aurora::requireMainThread("-[NSTimer invalidate]");
  if (!valid_) return;
  auto keepAlive = shared_from_this();
  valid_ = false;
  if (modes_ != 0) NSRunLoop::mainRunLoop().removeTimer(*this);
  aurora::tellObservers(&aurora::PlatformObserver::timerInvalidated, *this);
  // A block that invalidates its own timer is released when it returns.
  if (running_ == 0) {
    Block released = std::move(block_);
    block_ = nullptr;
  }
}
