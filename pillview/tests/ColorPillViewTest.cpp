// ColorPillView on the virtual clock with fresh settings: its construction, the
// wave, the styles that chain one animation after another, and the static one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "Foundation/NSRunLoop.h"
#include "aurora/PlatformObserver.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace {

using aurora::ViewProperty;

constexpr RGBA kRed{1, 0, 0, 1}, kFirst{0.1, 0.2, 0.3, 1}, kSecond{0.9, 0.8, 0.7, 1};
constexpr RGBA kBreathing{0.2, 0.6, 0.4, 0.8}, kBreathingLater{0.5, 0.5, 0.1, 1}, kStatic{0.7, 0.8, 0.9, 1};

aurora::Nanoseconds at(double seconds) { return aurora::Nanoseconds(std::llround(seconds * 1e9)); }
UIColorRef color(const RGBA& components) { return std::make_shared<const UIColor>(components); }
// The colour of the palette's hue `degrees`, as construction makes it.
RGBA hue(double degrees) { return UIColor::colorWithHue(degrees / 360.0, 1.0, 1.0, 1.0)->components(); }
bool nearlyEqual(const RGBA& a, const RGBA& b) {
  return std::fabs(a.red - b.red) < 1e-6 && std::fabs(a.green - b.green) < 1e-6 && std::fabs(a.blue - b.blue) < 1e-6 &&
         a.alpha == b.alpha;
}
// `count` palette hues from `first` on (modulo 361): the wave shows 60.
std::vector<RGBA> band(long first, long count = 60) {
  std::vector<RGBA> colors;
  for (long j = 0; j < count; ++j) colors.push_back(hue(static_cast<double>(((first + j) % 361 + 361) % 361)));
  return colors;
}
std::vector<RGBA> components(const std::vector<CGColorRef>& colors) {
  std::vector<RGBA> found(colors.size());
  std::transform(colors.begin(), colors.end(), found.begin(), [](const CGColorRef& c) { return c->components(); });
  return found;
}
std::vector<RGBA> shown(const ColorPillView& view) { return components(view.gradientLayer()->colors()); }
std::vector<RGBA> palette(const ColorPillView& view) {
  return components(view.colors()->subarrayWithRange(0, view.colors()->count()));
}

// Records what the platform was asked to do; views by serial, since addresses are reused.
struct Recorder : aurora::PlatformObserver {
  struct Set {
    std::uint64_t view;
    ViewProperty property;
    aurora::PropertyValue value;
    bool animated;
  };
  std::vector<Set> sets;
  std::vector<std::pair<aurora::Nanoseconds, double>> animations;  // when each began, and its seconds
  std::vector<bool> completions;                                   // the finished flags, in order
  std::vector<std::string> log;                                    // every set and timer call, by name
  std::uint64_t interrupted = 0;  // animations painting this view end unfinished: a bystander joins and goes

  // What `view` was given for `property`, in order.
  std::vector<Set> setsOn(const UIView& view, ViewProperty property) const {
    std::vector<Set> found;
    std::copy_if(sets.begin(), sets.end(), std::back_inserter(found),
                 [&](const Set& s) { return s.view == view.serial() && s.property == property; });
    return found;
  }
  std::vector<RGBA> backgrounds(const UIView& view) const {
    std::vector<RGBA> found;
    for (const Set& s : setsOn(view, ViewProperty::LayerBackgroundColor)) found.push_back(std::get<RGBA>(s.value));
    return found;
  }
  std::size_t gradients(const UIView& view) const { return setsOn(view, ViewProperty::LayerColors).size(); }
  long count(const char* entry) const { return std::count(log.begin(), log.end(), entry); }

  void propertySet(const UIView& view, ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override {
    sets.push_back({view.serial(), property, value, animation != 0});
    log.emplace_back(aurora::viewPropertyName(property));
    if (animation != 0 && view.serial() == interrupted) {
      UIView::make(UIView::objcClass(), CGRect{})->layer()->setBackgroundColor(CGColorCreate(RGBA{}));
    }
  }
  void animationBegan(aurora::AnimationSerial, double s) override {
    animations.emplace_back(NSRunLoop::mainRunLoop().now(), s);
  }
  void animationCompleted(aurora::AnimationSerial, bool finished) override { completions.push_back(finished); }
  void timerCreated(const NSTimer&) override { log.emplace_back("timerCreated"); }
  void timerScheduled(const NSTimer&, NSRunLoopMode mode) override {
    log.push_back(std::string("timerScheduled ") + NSRunLoopModeName(mode));
  }
  void timerFired(const NSTimer&) override { log.emplace_back("timerFired"); }
  void timerInvalidated(const NSTimer&) override { log.emplace_back("timerInvalidated"); }

  aurora::ObserverRegistration listening{*this};  // last: it listens once the rest is made
};

class ColorPillViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings::assignInitialValues();
    startOver();
  }
  // A fresh run loop and record, also for the next case of a table. The record goes with the test.
  void startOver() {
    NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
    observer.emplace();
  }
  static std::shared_ptr<ColorPillView> makeView(CGRect frame = CGRectMake(0, 0, 134, 5)) {
    return UIView::make<ColorPillView>(frame);
  }
  static void send(ColorPillView& view, const char* selector) { objc_msgSend<void>(&view, sel_registerName(selector)); }
  static void runFor(double seconds) { NSRunLoop::mainRunLoop().runFor(at(seconds)); }  // 0: what is due now
  static std::size_t timers() { return NSRunLoop::mainRunLoop().scheduledTimerCount(); }

  std::optional<Recorder> observer;
};

// Whatever the style and frame: the static colour, then the style's; the axis; 361 hues; indices at 0; nothing running.
TEST_F(ColorPillViewTest, FirstBackgroundFollowsTheStyleAndNothingStarts) {
  settings::firstColor = color(kFirst);
  settings::breathingColor = color(kBreathing);
  settings::staticColor = color(kStatic);
  const CGRect pill = CGRectMake(0, 0, 134, 5), empty = CGRectMake(-3, 7, 0, 0), screen = CGRectMake(10, 10, 390, 844);
  const std::tuple<const char*, CGRect, std::vector<RGBA>> cases[] = {
      {"Wave", pill, {kStatic, kRed}},
      {"Spectrum", empty, {kStatic, kRed}},
      {"Fade", screen, {kStatic, kFirst}},
      {"Static", pill, {kStatic, kStatic}},
      {"Breathing", empty, {kStatic, kBreathing}},
      {"wave", screen, {kStatic}},
      {"", pill, {kStatic}},
  };
  for (const auto& [style, frame, backgrounds] : cases) {
    SCOPED_TRACE(style);
    settings::style = style;
    auto view = makeView(frame);
    EXPECT_EQ(observer->backgrounds(*view), backgrounds);  // in the order they were set
    EXPECT_EQ(view->gradientLayer()->startPoint(), CGPointMake(0.0, 0.5));
    EXPECT_EQ(view->gradientLayer()->endPoint(), CGPointMake(1.0, 0.5));
    EXPECT_EQ(std::vector<std::string>(observer->log.end() - 2, observer->log.end()),  // after the backgrounds
              (std::vector<std::string>{"layer.startPoint", "layer.endPoint"}));
    EXPECT_EQ(palette(*view), band(0, 361));  // both ends red
    EXPECT_EQ(view->colorNum(), 0u);
    EXPECT_EQ(view->currentHueNum(), 0u);
    const std::size_t setsAfterConstruction = observer->sets.size();
    runFor(60.0);
    EXPECT_EQ(observer->sets.size(), setsAfterConstruction);
    EXPECT_TRUE(observer->animations.empty());
    EXPECT_EQ(observer->count("timerCreated"), 0);  // no timer made, so none held or scheduled
    EXPECT_EQ(view->layer()->presentationBackgroundColor(), backgrounds.back());
  }
}

// Each tick turns as the direction then says; neither an unknown direction nor a missing palette stops it.
TEST_F(ColorPillViewTest, TheWaveTurnsAtOnceThenEveryInterval) {
  auto view = makeView();
  observer->log.clear();
  // Started as the delegate of an animation that did not finish (either flag starts it).
  objc_msgSend<void>(view.get(), sel_registerName("animationDidStop:finished:"), static_cast<id>(nullptr), false);
  EXPECT_TRUE(view->gradientLayer()->colors().empty());  // the tick only queues the update
  runFor(0);
  EXPECT_EQ(observer->log, (std::vector<std::string>{"timerCreated", "timerScheduled NSDefaultRunLoopMode",
                                                     "timerFired", "layer.colors", "layer.drawsAsynchronously"}));
  EXPECT_EQ(shown(*view), band(360));  // "l2r": the last hue comes in at the left
  EXPECT_TRUE(view->gradientLayer()->drawsAsynchronously());
  runFor(0.049);
  EXPECT_EQ(observer->gradients(*view), 1u);
  runFor(0.001);
  EXPECT_EQ(observer->gradients(*view), 2u);
  runFor(17.95);  // 18 s after the start: the immediate update and 360 ticks
  const auto updates = observer->setsOn(*view, ViewProperty::LayerColors);
  ASSERT_EQ(updates.size(), 361u);
  for (const auto& update : updates) EXPECT_EQ(std::get<std::vector<RGBA>>(update.value).size(), 60u);
  EXPECT_EQ(shown(*view), band(0));
  EXPECT_EQ(palette(*view), band(0, 361));

  settings::waveDirection = "r2l";  // the first hue goes round to the right end
  runFor(0.15);
  EXPECT_EQ(shown(*view), band(3));
  for (const char* direction : {"L2R", "", "left"}) {
    settings::waveDirection = direction;
    const std::size_t before = observer->gradients(*view);
    runFor(0.1);
    EXPECT_EQ(observer->gradients(*view), before + 2) << direction;  // still updated, not moved
    EXPECT_EQ(shown(*view), band(3)) << direction;
  }
  for (auto taken : {ColorPillView::Palette::array(), std::shared_ptr<ColorPillView::Palette>()}) {
    view->setColors(taken);  // the palette taken away: the gradient goes empty, the updates go on
    const std::size_t before = observer->gradients(*view);
    runFor(0.1);
    EXPECT_EQ(observer->gradients(*view), before + 2);
    EXPECT_TRUE(view->gradientLayer()->colors().empty());
  }
}

TEST_F(ColorPillViewTest, DestroyedViewStopsItsTimersAndIsReleased) {
  auto view = makeView();
  view->waveView();
  settings::waveSpeed = 1.0;  // read once: does not reach the running wave
  runFor(1.0);
  EXPECT_EQ(observer->gradients(*view), 21u);
  const auto first = view->timer();
  // A second start, as an animation delegate would make it: the first timer goes on, `timer` is the new one.
  objc_msgSend<void>(view.get(), sel_registerName("animationDidStop:finished:"), static_cast<id>(view->layer()), true);
  EXPECT_EQ(observer->count("timerCreated"), 2);
  EXPECT_TRUE(view->timer() != nullptr && view->timer() != first);
  EXPECT_EQ(timers(), 2u);

  std::weak_ptr<ColorPillView> weakView = view;
  view.reset();
  EXPECT_FALSE(weakView.expired());  // the queued update holds it until it has run
  runFor(0);
  EXPECT_TRUE(weakView.expired());
  EXPECT_EQ(timers(), 1u);  // its latest timer, stopped by the view
  runFor(0.05);             // the first one ticks once more and stops
  EXPECT_EQ(timers(), 0u);
  EXPECT_EQ(observer->count("timerInvalidated"), 2);
  runFor(1.0);
  EXPECT_EQ(observer->count("layer.colors"), 21 + 1);  // the queued update ran on it, and nothing after
}

struct Chain {
  const char* selector;
  CGFloat* speed;             // seconds per step; the one-second cycle has none
  std::vector<RGBA> targets;  // the first three steps': the first picked before every colour changed
  bool spectrum;              // counts its hue, not its colour index; paints hues equal within rounding
};
void PrintTo(const Chain& chain, std::ostream* out) { *out << chain.selector; }

class PillViewChain : public ColorPillViewTest, public ::testing::WithParamInterface<Chain> {};

TEST_P(PillViewChain, StepsPickPaintAndGoOnUntilTheViewGoes) {
  const Chain& chain = GetParam();
  const double firstStep = chain.speed ? 2.0 : 1.0;
  const auto index = [&](const ColorPillView& view) { return chain.spectrum ? view.currentHueNum() : view.colorNum(); };
  for (const char* variant : {"destroyed while queued", "finished", "unfinished"}) {
    SCOPED_TRACE(variant);
    const bool interrupted = variant[0] == 'u';  // an unfinished animation starts the next step all the same
    startOver();
    settings::firstColor = color(kFirst);
    settings::secondColor = color(kSecond);
    settings::breathingColor = color(kBreathing);
    settings::fadeSpeed = settings::breathingSpeed = settings::specturmSpeed = 9.0;
    auto view = makeView();
    if (interrupted) observer->interrupted = view->serial();
    send(*view, chain.selector);
    EXPECT_EQ(index(*view), chain.spectrum ? 0u : 1u);
    EXPECT_TRUE(observer->animations.empty());  // the step is queued, not run
    if (variant[0] == 'd') {
      observer->sets.clear();
      view.reset();
      runFor(5.0);
      EXPECT_TRUE(observer->sets.empty());
      EXPECT_EQ(observer->animations.size(), 1u);  // the queued task still animates nothing
      continue;
    }
    settings::firstColor = color(kSecond);
    settings::secondColor = color(kFirst);
    settings::breathingColor = color(kBreathingLater);
    if (chain.speed) *chain.speed = 2.0;  // read when the queued step runs, not at the call
    runFor(0);
    if (chain.speed) *chain.speed = 1.0;  // and again at each step; the running one keeps its 2 s
    runFor(firstStep + 1);
    const auto paints = observer->setsOn(*view, ViewProperty::LayerBackgroundColor);
    ASSERT_EQ(observer->animations.size(), 3u);
    ASSERT_EQ(paints.size(), 2u + 3u);  // after the two of construction
    for (std::size_t step = 0; step < 3; ++step) {
      SCOPED_TRACE(step);
      EXPECT_EQ(observer->animations[step],
                std::pair(at(step ? firstStep + double(step) - 1 : 0), step ? 1.0 : firstStep));
      const RGBA painted = std::get<RGBA>(paints[2 + step].value);
      EXPECT_TRUE(chain.spectrum ? nearlyEqual(painted, chain.targets[step]) : painted == chain.targets[step]);
      EXPECT_TRUE(paints[2 + step].animated);
    }
    EXPECT_EQ(index(*view), chain.spectrum ? 2u : 1u);
    EXPECT_EQ(observer->completions, std::vector<bool>(2, !interrupted));
    observer->sets.clear();
    view.reset();  // while its third step animates: the chain ends there
    runFor(5.0);
    EXPECT_EQ(observer->animations.size(), 3u);
    EXPECT_TRUE(observer->sets.empty());
  }

  // The first step follows the index it starts from, given through the runtime as the pill hooks do.
  for (const auto& [start, next] :
       {std::pair{NSUInteger{2}, 1u}, std::pair{NSUInteger{7}, 0u}, std::pair{~NSUInteger{0}, 0u}}) {
    if (chain.spectrum) break;
    auto view = makeView();
    objc_msgSend<void>(view.get(), sel_registerName("setColorNum:"), start);
    send(*view, chain.selector);
    EXPECT_EQ(objc_msgSend<NSUInteger>(view.get(), sel_registerName("colorNum")), next) << start;
    runFor(0);
    EXPECT_EQ(observer->backgrounds(*view).back(), chain.targets[next == 1 ? 2 : 1]) << start;  // the later colours
  }

  // A bad duration never spins at one instant: a step per display frame at most; an endless one ends the chain.
  for (double seconds : {0.0, -1.0, double(NAN), double(INFINITY), 1e300}) {
    if (!chain.speed) break;
    SCOPED_TRACE(seconds);
    startOver();
    *chain.speed = seconds;
    auto view = makeView();
    send(*view, chain.selector);
    runFor(1.0);
    EXPECT_EQ(observer->animations.size(), std::isinf(seconds) || seconds > aurora::kNeverSeconds ? 1u : 60u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Styles, PillViewChain,
    ::testing::Values(Chain{"animateView", nullptr, {kSecond, kSecond, kFirst}, false},
                      Chain{"fadeView", &settings::fadeSpeed, {kSecond, kSecond, kFirst}, false},
                      Chain{"breathingView",
                            &settings::breathingSpeed,
                            {{0.2, 0.6, 0.4, 0}, kBreathingLater, {0.5, 0.5, 0.1, 0}},
                            false},
                      Chain{"specturmView", &settings::specturmSpeed, {hue(0), hue(1), hue(2)}, true}),
    [](const auto& info) { return std::string(info.param.selector); });

TEST_F(ColorPillViewTest, SpectrumWalksEveryHueOnceAndWrapsAfter360) {
  auto view = makeView();
  objc_msgSend<void>(view.get(), sel_registerName("setCurrentHueNum:"), NSUInteger{359});
  view->specturmView();
  runFor(36.1);  // a turn at the default 0.1 s per step, then the first step of the next
  const auto painted = observer->backgrounds(*view);
  ASSERT_EQ(painted.size(), 2u + 362u);  // after the two of construction
  for (std::size_t step = 0; step < 362; ++step) {
    EXPECT_TRUE(nearlyEqual(painted[2 + step], hue(double((359 + step) % 361)))) << step;  // alpha exactly 1
    EXPECT_EQ(observer->animations[step].first, at(0.1 * double(step))) << step;
  }
  EXPECT_EQ(objc_msgSend<NSUInteger>(view.get(), sel_registerName("currentHueNum")), 359u);  // a full turn on
}

TEST_F(ColorPillViewTest, StaticViewPaintsAtOnceWithTheColorOfThatMoment) {
  auto view = makeView();
  for (const RGBA& chosen : {kFirst, kSecond}) {
    settings::staticColor = color(chosen);
    send(*view, "staticView");
    EXPECT_EQ(view->layer()->presentationBackgroundColor(), chosen);  // at once: not animated
    EXPECT_FALSE(observer->sets.back().animated);
    settings::staticColor = color(kRed);  // read at the call only
    runFor(10.0);
    EXPECT_EQ(view->layer()->presentationBackgroundColor(), chosen);
  }
  EXPECT_TRUE(observer->animations.empty());
  EXPECT_EQ(observer->count("timerCreated"), 0);
}

}  // namespace
