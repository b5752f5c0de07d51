// What the pill view's tests share: a fixture on the virtual clock with fresh
// settings, and an observer that records what the platform was asked to do.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Foundation/NSRunLoop.h"
#include "aurora/PlatformObserver.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace pillview::testing {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

inline aurora::Nanoseconds at(double seconds) { return aurora::Nanoseconds(std::llround(seconds * 1e9)); }

// The colour of the palette's hue `degrees`, as construction makes it.
inline RGBA hue(double degrees) { return UIColor::colorWithHue(degrees / 360.0, 1.0, 1.0, 1.0)->components(); }

inline bool nearlyEqual(const RGBA& a, const RGBA& b) {
  constexpr double tolerance = 1e-6;
  return std::fabs(a.red - b.red) < tolerance && std::fabs(a.green - b.green) < tolerance &&
         std::fabs(a.blue - b.blue) < tolerance && a.alpha == b.alpha;
}

class RecordingObserver : public aurora::PlatformObserver {
 public:
  struct PropertySet {
    aurora::Nanoseconds at;
    std::uint64_t view;  // the view's serial: addresses are reused, serials are not
    aurora::ViewProperty property;
    aurora::PropertyValue value;
    aurora::AnimationSerial animation;
  };
  struct AnimationStart {
    aurora::Nanoseconds at;
    double seconds;
  };

  std::vector<PropertySet> sets;
  std::vector<AnimationStart> animations;
  std::vector<bool> completions;  // the finished flags, in order
  std::vector<const NSTimer*> timersCreated;
  std::size_t timersFired = 0;
  std::size_t timersInvalidated = 0;
  std::vector<std::string> log;  // every call, by name, in order

  // The values `view` was given for `property`, in order.
  template <class T>
  std::vector<T> values(const UIView& view, aurora::ViewProperty property) const {
    std::vector<T> found;
    for (const auto& set : sets) {
      if (set.view == view.serial() && set.property == property) found.push_back(std::get<T>(set.value));
    }
    return found;
  }
  std::vector<RGBA> backgrounds(const UIView& view) const { return values<RGBA>(view, aurora::ViewProperty::LayerBackgroundColor); }
  std::vector<std::vector<RGBA>> gradients(const UIView& view) const {
    return values<std::vector<RGBA>>(view, aurora::ViewProperty::LayerColors);
  }
  std::size_t setsOn(const UIView& view) const {
    return static_cast<std::size_t>(std::count_if(sets.begin(), sets.end(), [&](const auto& s) { return s.view == view.serial(); }));
  }

  void clear() {
    sets.clear();
    animations.clear();
    completions.clear();
    timersCreated.clear();
    timersFired = timersInvalidated = 0;
    log.clear();
    interrupted_ = 0;
  }

  // Animations that paint `view` end with finished = false while it lives:
  // a bystander layer joins each of them and is destroyed before it ends.
  void interruptAnimationsOf(const UIView& view) { interrupted_ = view.serial(); }

  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override {
    sets.push_back({now(), view.serial(), property, value, animation});
    log.emplace_back(aurora::viewPropertyName(property));
    if (animation != 0 && view.serial() == interrupted_) {
      auto bystander = UIView::make(UIView::objcClass(), CGRect{});
      bystander->layer()->setBackgroundColor(CGColorCreate(RGBA{}));
    }
  }
  void animationBegan(aurora::AnimationSerial, double seconds) override {
    animations.push_back({now(), seconds});
    log.emplace_back("animationBegan");
  }
  void animationCompleted(aurora::AnimationSerial, bool finished) override {
    completions.push_back(finished);
    log.emplace_back("animationCompleted");
  }
  void timerCreated(const NSTimer& timer) override {
    timersCreated.push_back(&timer);
    log.emplace_back("timerCreated");
  }
  void timerScheduled(const NSTimer&, NSRunLoopMode mode) override {
    log.push_back(std::string("timerScheduled ") + NSRunLoopModeName(mode));
  }
  void timerFired(const NSTimer&) override {
    ++timersFired;
    log.emplace_back("timerFired");
  }
  void timerInvalidated(const NSTimer&) override {
    ++timersInvalidated;
    log.emplace_back("timerInvalidated");
  }

 private:
  static aurora::Nanoseconds now() { return NSRunLoop::mainRunLoop().now(); }
  std::uint64_t interrupted_ = 0;
};

class PillViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
    settings::assignInitialValues();
    aurora::setPlatformObserver(&observer);
  }
  void TearDown() override {
    NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
    aurora::setPlatformObserver(nullptr);
  }

  static std::shared_ptr<ColorPillView> makeView(CGRect frame = CGRectMake(0, 0, 134, 5)) {
    return UIView::make<ColorPillView>(frame);
  }
  static void send(ColorPillView& view, const char* selector) { objc_msgSend<void>(&view, sel_registerName(selector)); }

  // A fresh run loop and record, for the next case of a table.
  void startOver() {
    NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
    observer.clear();
  }

  // Runs what is due at the current instant.
  static void runNow() { NSRunLoop::mainRunLoop().runFor(aurora::Nanoseconds::zero()); }
  static void runFor(double seconds) { NSRunLoop::mainRunLoop().runFor(at(seconds)); }
  static aurora::Nanoseconds now() { return NSRunLoop::mainRunLoop().now(); }

  // A chained style given a step duration of `seconds` never spins at one
  // instant: at most one step per display frame, and an endless step ends the chain.
  void expectNoSpin(const char* style, CGFloat& durationSetting, double seconds) {
    SCOPED_TRACE(std::string(style) + " with a duration of " + std::to_string(seconds));
    durationSetting = seconds;
    auto view = makeView();
    const std::size_t before = observer.animations.size();
    send(*view, style);
    runFor(1.0);
    const std::size_t begun = observer.animations.size() - before;
    EXPECT_EQ(begun, std::isinf(seconds) || seconds > aurora::kNeverSeconds ? 1u : 60u);
  }

  RecordingObserver observer;
};

}  // namespace pillview::testing
