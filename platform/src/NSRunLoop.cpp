#include "Foundation/NSRunLoop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "AnimationEngine.h"
#include "LayoutScheduler.h"
#include "MainQueue.h"
#include "aurora/MainThread.h"
#include "aurora/PlatformObserver.h"

const char* NSRunLoopModeName(NSRunLoopMode mode) {
  switch (mode) {
    case NSRunLoopMode::Default:
      return "NSDefaultRunLoopMode";
    case NSRunLoopMode::Tracking:
      return "UITrackingRunLoopMode";
    case NSRunLoopMode::Common:
      return "NSRunLoopCommonModes";
  }
  return "?";
}

NSRunLoop& NSRunLoop::mainRunLoop() {
  static NSRunLoop* const loop = new NSRunLoop();
  return *loop;
}

NSRunLoop::NSRunLoop()
    : clock_(std::make_unique<aurora::VirtualClock>()),
      mainQueue_(std::make_unique<aurora::MainQueue>()),
      animations_(std::make_unique<aurora::AnimationEngine>()),
      layout_(std::make_unique<aurora::LayoutScheduler>()),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeFd_ < 0) throw std::runtime_error("NSRunLoop: cannot make its wake-up eventfd");
}

void NSRunLoop::reset(std::unique_ptr<aurora::Clock> clock) {
  aurora::requireMainThread("-[NSRunLoop reset]");
  // Take everything out first: releasing it may run destructors that call back
  // into the loop, which must then find it empty.
  auto timers = std::move(timers_);
  auto commands = std::move(commands_);
  timers_.clear();
  commands_.clear();
  for (auto& [key, timer] : timers) timer->modes_ = 0;
  mainQueue_->clear();
  animations_->clear();
  layout_->clear();
  clock_ = std::move(clock);
  mode_ = NSRunLoopMode::Default;
  stopRequested_ = false;
}

void NSRunLoop::setMode(NSRunLoopMode mode) {
  aurora::requireMainThread("-[NSRunLoop setMode]");
  if (mode == NSRunLoopMode::Common) throw std::invalid_argument("the run loop runs in one mode, not the common modes");
  mode_ = mode;
}

void NSRunLoop::addTimer(const std::shared_ptr<NSTimer>& timer, NSRunLoopMode mode) {
  aurora::requireMainThread("-[NSRunLoop addTimer:forMode:]");
  if (!timer || !timer->valid_) return;
  const bool wasScheduled = timer->modes_ != 0;
  timer->modes_ |= static_cast<unsigned>(mode);
  if (!wasScheduled) timers_.emplace(ScheduledTimer{timer->nextFire_, timer->serial_}, timer);
  aurora::tellObservers(&aurora::PlatformObserver::timerScheduled, *timer, mode);
}

void NSRunLoop::removeTimer(const NSTimer& timer) { timers_.erase(ScheduledTimer{timer.nextFire_, timer.serial_}); }

void NSRunLoop::performAt(aurora::Nanoseconds when, aurora::OnceClosure command) {
  commands_.emplace(when, std::move(command));
}

void NSRunLoop::addSource(int fd, std::function<void()> onReadable) {
  aurora::requireMainThread("-[NSRunLoop addSource]");
  removeSource(fd);
  sources_.emplace_back(fd, std::move(onReadable));
}

void NSRunLoop::removeSource(int fd) {
  std::erase_if(sources_, [fd](const auto& source) { return source.first == fd; });
}

void NSRunLoop::stop() {
  stopRequested_ = true;
  wake();
}

void NSRunLoop::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void NSRunLoop::run() { runUntil(aurora::Nanoseconds::max()); }

void NSRunLoop::runUntil(aurora::Nanoseconds end) {
  aurora::requireMainThread("-[NSRunLoop runUntil]");
  for (;;) {
    runInstant();
    // Read before it is cleared: clearing is a locked instruction on every instant.
    if ((stopRequested_.load(std::memory_order_relaxed) && stopRequested_.exchange(false)) || now() >= end) return;
    std::optional<aurora::Nanoseconds> deadline = nextDeadline();
    if (end != aurora::Nanoseconds::max()) deadline = std::min(deadline.value_or(end), end);
    // Idle for ever on a virtual clock: nothing can happen any more.
    if (!deadline && clock_->isVirtual()) return;
    waitFor(deadline);
  }
}

void NSRunLoop::waitFor(std::optional<aurora::Nanoseconds> deadline) {
  std::vector<pollfd> fds;
  fds.reserve(sources_.size() + 1);
  fds.push_back({wakeFd_, POLLIN, 0});
  for (const auto& [fd, callback] : sources_) fds.push_back({fd, POLLIN, 0});
  clock_->wait(deadline, fds);
  if (fds[0].revents & POLLIN) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t got = ::read(wakeFd_, &count, sizeof count);
  }
  for (std::size_t i = 1; i < fds.size(); ++i) {
    if (!(fds[i].revents & (POLLIN | POLLERR | POLLHUP))) continue;
    // The callback may add or remove sources: find it by descriptor each time.
    auto it = std::find_if(sources_.begin(), sources_.end(), [&](const auto& s) { return s.first == fds[i].fd; });
    if (it != sources_.end()) {
      auto callback = it->second;
      callback();
    }
  }
}

void NSRunLoop::runInstant() {
  runHostCommands();
  while (turn()) {
  }
}

bool NSRunLoop::runHostCommands() {
  bool ran = false;
  while (!commands_.empty() && commands_.begin()->first <= now()) {
    aurora::OnceClosure command = std::move(commands_.begin()->second);
    commands_.erase(commands_.begin());
    std::move(command)();
    ran = true;
  }
  return ran;
}

bool NSRunLoop::turn() {
  // Each step is entered only when it has work: most turns have little.
  bool did = !mainQueue_->empty() && mainQueue_->drain();
  const aurora::Nanoseconds timersInstant = now();
  if (!timers_.empty() && timers_.begin()->first.fireDate <= timersInstant) did |= fireDueTimers(timersInstant);
  const aurora::Nanoseconds animationsInstant = now();
  if (animations_->hasDue(animationsInstant)) did |= animations_->endDue(animationsInstant);
  if (layout_->hasPending()) did |= layout_->runPasses();
  return did;
}

bool NSRunLoop::fireDueTimers(aurora::Nanoseconds instant) {
  const unsigned mode = static_cast<unsigned>(mode_);
  // A block that runs the loop again finds no spare and takes a new list.
  std::vector<std::shared_ptr<NSTimer>> due = std::move(dueSpare_);
  for (const auto& [key, timer] : timers_) {
    if (key.fireDate > instant) break;
    if (timer->modes_ & mode) due.push_back(timer);
  }
  bool fired = false;
  for (auto& timer : due) {
    // An earlier block may have invalidated this timer.
    if (!timer->valid_ || timer->modes_ == 0 || timer->nextFire_ > instant) continue;
    // A repeating timer's entry moves to its next fire date: no allocation.
    auto entry = timers_.extract(ScheduledTimer{timer->nextFire_, timer->serial_});
    if (timer->repeats_) {
      timer->nextFire_ = timer->nextFireDateAfter(instant);
      const ScheduledTimer next{timer->nextFire_, timer->serial_};
      if (entry.empty()) {
        timers_.emplace(next, timer);
      } else {
        entry.key() = next;
        timers_.insert(std::move(entry));
      }
    }
    timer->runBlock();
    if (!timer->repeats_) timer->invalidate();
    fired = true;
  }
  due.clear();
  dueSpare_ = std::move(due);
  return fired;
}

std::optional<aurora::Nanoseconds> NSRunLoop::nextDeadline() const {
  std::optional<aurora::Nanoseconds> next;
  auto consider = [&](aurora::Nanoseconds t) { next = next ? std::min(*next, t) : t; };
  if (!mainQueue_->empty() || layout_->hasPending()) consider(now());
  if (!commands_.empty()) consider(commands_.begin()->first);
  const unsigned mode = static_cast<unsigned>(mode_);
  for (const auto& [key, timer] : timers_) {
    if (key.fireDate == aurora::Nanoseconds::max()) break;
    if (timer->modes_ & mode) {
      consider(key.fireDate);
      break;
    }
  }
  if (auto end = animations_->nextEnd()) consider(*end);
  return next;
}
