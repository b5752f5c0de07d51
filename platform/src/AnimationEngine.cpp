#include "AnimationEngine.h"

#include <algorithm>
#include <cmath>

#include "Foundation/NSRunLoop.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"

namespace aurora {
namespace {

// The length of the colour change: at once for 0 or less, else the timer rules.
std::optional<Nanoseconds> changeLength(double seconds) {
  if (seconds <= 0) return Nanoseconds::zero();
  return timerIntervalFromSeconds(seconds);
}

}  // namespace

void AnimationEngine::animate(double seconds, OnceClosure animations, OnceFunction<void(bool)> completion) {
  requireMainThread("+[UIView animateWithDuration:animations:completion:]");
  const Nanoseconds now = NSRunLoop::mainRunLoop().now();
  auto animation = std::make_unique<Animation>();
  animation->serial = ++lastSerial_;
  animation->start = now;
  animation->length = changeLength(seconds);
  if (animation->length) animation->end = now + std::max(*animation->length, kDisplayFrame);
  animation->completion = std::move(completion);
  tellObservers(&PlatformObserver::animationBegan, animation->serial, seconds);

  if (animations) {
    Animation* outer = std::exchange(current_, animation.get());
    struct Restore {
      Animation*& slot;
      Animation* value;
      ~Restore() { slot = value; }
    } restore{current_, outer};
    std::move(animations)();
  }

  if (animation->end) {
    auto key = std::make_pair(*animation->end, animation->serial);
    active_.emplace(key, std::move(animation));
  } else {
    endless_.push_back(std::move(animation));
  }
}

bool AnimationEngine::endDue(Nanoseconds now) {
  // An endless animation whose layers are all gone can neither end nor run its
  // completion: keeping it would only hold its completion for ever.
  if (endlessMayBeOrphaned()) {
    layersDestroyedSeen_ = census::layersDestroyed.load(std::memory_order_relaxed);
    std::erase_if(endless_, [](const std::unique_ptr<Animation>& animation) {
      return !animation->layers.empty() && std::all_of(animation->layers.begin(), animation->layers.end(),
                                                       [](const auto& layer) { return layer.expired(); });
    });
  }
  bool ended = false;
  while (!active_.empty() && active_.begin()->first.first <= now) {
    std::unique_ptr<Animation> animation = std::move(active_.begin()->second);
    active_.erase(active_.begin());
    const bool finished = std::none_of(animation->layers.begin(), animation->layers.end(),
                                       [](const auto& layer) { return layer.expired(); });
    tellObservers(&PlatformObserver::animationCompleted, animation->serial, finished);
    if (animation->completion) std::move(animation->completion)(finished);
    ended = true;
  }
  return ended;
}

std::optional<Nanoseconds> AnimationEngine::nextEnd() const {
  if (active_.empty()) return std::nullopt;
  return active_.begin()->first.first;
}

void AnimationEngine::clear() {
  auto active = std::move(active_);
  auto endless = std::move(endless_);
  active_.clear();
  endless_.clear();
}

double AnimationEngine::easeInOut(double progress) {
  if (!(progress > 0)) return 0;
  if (progress >= 1) return 1;
  // Bezier through (0,0), (x1,y1), (x2,y2), (1,1) in polynomial form.
  constexpr double x1 = 0.42, y1 = 0.0, x2 = 0.58, y2 = 1.0;
  constexpr double cx = 3 * x1, bx = 3 * (x2 - x1) - cx, ax = 1 - cx - bx;
  constexpr double cy = 3 * y1, by = 3 * (y2 - y1) - cy, ay = 1 - cy - by;
  auto x = [&](double t) { return ((ax * t + bx) * t + cx) * t; };
  auto dx = [&](double t) { return (3 * ax * t + 2 * bx) * t + cx; };
  // Newton's method, falling back to bisection where the slope is flat.
  double t = progress;
  for (int i = 0; i < 8; ++i) {
    const double err = x(t) - progress;
    if (std::fabs(err) < 1e-12) return ((ay * t + by) * t + cy) * t;
    const double slope = dx(t);
    if (std::fabs(slope) < 1e-9) break;
    t -= err / slope;
  }
  double lo = 0, hi = 1;
  t = progress;
  for (int i = 0; i < 64; ++i) {
    const double v = x(t);
    if (std::fabs(v - progress) < 1e-12) break;
    (v < progress ? lo : hi) = t;
    t = (lo + hi) / 2;
  }
  return ((ay * t + by) * t + cy) * t;
}

}  // namespace aurora

void UIView::animateWithDuration(double seconds, aurora::OnceClosure animations,
                                 aurora::OnceFunction<void(bool)> completion) {
  NSRunLoop::mainRunLoop().animations().animate(seconds, std::move(animations), std::move(completion));
}
