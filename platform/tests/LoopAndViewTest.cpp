// The main run loop and what runs on it: the order of an instant, the main
// queue, modes, clocks, cross-thread posts, timers on a fixed grid without
// drift or catch-up; views and layers, layout sent through the
// runtime, constraints, and block animations with durations that must not spin.
#include <future>
#include <thread>

#include "../src/AnimationEngine.h"
#include "PlatformTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"
#include "dispatch/dispatch.h"
#include "substrate.h"

namespace {

using namespace aurora::testing;
using aurora::AnimationEngine;
using aurora::Nanoseconds;
using Log = std::vector<std::string>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
const RGBA kRed{1, 0, 0, 1}, kBlue{0, 0, 1, 1}, kGreen{0, 1, 0, 1};

Log log;
void post(aurora::OnceClosure task) { dispatch_async(dispatch_get_main_queue(), std::move(task)); }
void note(std::string entry) { post([entry] { log.push_back(entry); }); }
// Logs "name@T", T the virtual time in microseconds.
void stamp(const std::string& name) { log.push_back(name + "@" + std::to_string(NSRunLoop::mainRunLoop().now() / 1us)); }
void (*savedLayout)(id, SEL) = nullptr;
id (*savedInit)(id, SEL, CGRect) = nullptr;

Class viewClass(const char* name, void (*layout)(id, SEL), Class super = UIView::objcClass()) {
  Class c = objc_registerClass(name, super);
  if (layout != nullptr) class_addMethod(c, sel_registerName("layoutSubviews"), layout, "v@:");
  return c;
}
// Logs its passes as "layout TAG".
Class loggingViewClass() {
  static const Class cls = viewClass("LoggingView", +[](id self, SEL) {
    log.push_back("layout " + std::to_string(static_cast<UIView*>(self)->tag()));
  });
  return cls;
}
std::shared_ptr<UIView> makeView(NSInteger tag, Class cls = UIView::objcClass()) {
  auto view = UIView::make(cls, CGRectMake(0, 0, 10, 10));
  view->setTag(tag);
  return view;
}

class RunLoopTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    log.clear();
  }
  // A timer scheduled in `mode` that stamps `name` when it fires.
  static std::shared_ptr<NSTimer> timer(std::string name, double seconds, NSRunLoopMode mode = NSDefaultRunLoopMode,
                                        bool repeats = true) {
    auto timer = NSTimer::timerWithTimeInterval(seconds, repeats, [name](NSTimer&) { stamp(name); });
    loop().addTimer(timer, mode);
    return timer;
  }
};
using TimerTest = RunLoopTest;
using ViewTest = RunLoopTest;

TEST_F(RunLoopTest, AnInstantRunsCommandsThenQueueTimersAnimationsAndLayoutInTurns) {
  static const Class pillClass = viewClass("RunLoopOrderView", +[](id, SEL) { log.push_back("layout"); });
  auto view = UIView::make(pillClass, CGRectMake(0, 0, 10, 10));
  post([] {
    log.push_back("first");
    note("posted during drain");
  });
  note("second");
  EXPECT_TRUE(log.empty());  // never at once
  loop().runFor(0ns);
  EXPECT_EQ(log, (Log{"first", "second", "layout", "posted during drain"}));
  log.clear();
  loop().addTimer(NSTimer::timerWithTimeInterval(1.0, false, [](NSTimer&) {
    log.push_back("timer");
    note("task from timer");
  }), NSDefaultRunLoopMode);
  loop().performAt(500ms, [] { UIView::animateWithDuration(0.5, nullptr, [](bool) { log.push_back("completion"); }); });
  loop().performAt(1s, [view] {
    log.push_back("command");
    view->setNeedsLayout();
    note("task");
  });
  loop().runFor(1s);
  EXPECT_EQ(log, (Log{"command", "task", "timer", "completion", "layout", "task from timer"}));
  EXPECT_EQ(loop().now(), 1s);
  post([] { post([] { stamp("posted while draining"); }); });  // due now, not at the run's end
  loop().runFor(1s);
  EXPECT_EQ(log.back(), "posted while draining@1000000");
}

// The queue and the timers reuse their lists from one turn to the next.
TEST_F(RunLoopTest, ARunInsideATaskOrABlockLeavesTheOuterTurnWhole) {
  post([] {
    log.push_back("a");
    note("c");
    loop().runFor(0ns);
  });
  note("b");
  auto outer = timer("outer", 1.0);
  loop().addTimer(NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) { loop().runFor(0ns); }), NSDefaultRunLoopMode);
  timer("second", 1.0);
  loop().runFor(2s);
  EXPECT_EQ(log, (Log{"a", "c", "b", "outer@1000000", "second@1000000", "outer@2000000", "second@2000000"}));
}

TEST_F(RunLoopTest, RunsEndAtTheirEndInstantOrAfterTheInstantThatStopsThemInEitherMode) {
  loop().setMode(UITrackingRunLoopMode);  // the main queue drains in every mode
  loop().performAt(1s, [] {
    loop().stop();
    note("same instant");
  });
  loop().performAt(2s, [] { log.push_back("at end"); });
  loop().runFor(10s);
  EXPECT_EQ(log, (Log{"same instant"}));
  EXPECT_EQ(loop().now(), 1s);
  loop().runUntil(2s);
  EXPECT_EQ(log, (Log{"same instant", "at end"}));
  EXPECT_EQ(loop().now(), 2s);
  loop().runFor(3600s);  // nothing to do: one jump
  EXPECT_EQ(loop().now(), 3602s);
  EXPECT_THROW(loop().setMode(NSRunLoopCommonModes), std::invalid_argument);
}

// The worker posts only once the loop has nothing left but to sleep.
TEST(RealClockRunLoopTest, CrossThreadPostsAndStopWakeASleepingLoopAndPostsRunInOrderOnTheMainThread) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.reset(std::make_unique<aurora::RealClock>());
  std::promise<void> idle, done;
  int next = 0;
  bool inOrderOnMain = true;
  post([&] { idle.set_value(); });
  std::thread worker([&] {
    idle.get_future().wait();
    for (int i = 0; i < 100; ++i) {
      post([&, i] {
        inOrderOnMain = inOrderOnMain && i == next++ && aurora::isMainThread();
        if (i == 99) done.set_value();
      });
    }
    done.get_future().wait();
    NSRunLoop::mainRunLoop().stop();
  });
  loop.run();
  worker.join();
  EXPECT_EQ(std::tuple(next, inOrderOnMain), std::tuple(100, true));
  loop.reset(std::make_unique<aurora::VirtualClock>());
  EXPECT_DEATH(std::thread([&] { loop.reset(std::make_unique<aurora::VirtualClock>()); }).join(),
               "-\\[NSRunLoop reset\\] called off the main thread");
}

// Dates missed in another mode are made up once, not caught up; fire() leaves the grid alone;
// a timer scheduled late fires at once, then on its grid; equal dates fire in creation order;
// the loop alone keeps the common-mode timer alive.
TEST_F(TimerTest, TimersKeepToTheirGridInTheirModes) {
  auto manual = timer("manual", 1.0, NSDefaultRunLoopMode, false);
  manual->fire();
  auto repeating = timer("repeating", 1.0);
  auto once = timer("once", 1.0, NSDefaultRunLoopMode, false);
  timer("common", 1.0, NSRunLoopCommonModes);
  auto late = NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) { stamp("late"); });
  loop().performAt(500ms, [repeating] { repeating->fire(); });
  loop().performAt(1500ms, [] { loop().setMode(UITrackingRunLoopMode); });
  loop().performAt(3700ms, [] { loop().setMode(NSDefaultRunLoopMode); });
  loop().performAt(4500ms, [late] { loop().addTimer(late, NSDefaultRunLoopMode); });
  loop().runFor(5s);
  EXPECT_EQ(log, (Log{"manual@0", "repeating@500000", "repeating@1000000", "once@1000000", "common@1000000",
                      "common@2000000", "common@3000000", "repeating@3700000", "repeating@4000000", "common@4000000",
                      "late@4500000", "repeating@5000000", "common@5000000", "late@5000000"}));
  EXPECT_EQ(repeating->fireDate(), 6s);
  once->fire();  // an invalid timer does nothing
  EXPECT_EQ(log.size(), 14u);
  EXPECT_EQ(std::tuple(manual->isValid(), once->isValid(), loop().scheduledTimerCount()), std::tuple(false, false, 3u));
}

TEST_F(TimerTest, IntervalsNotAboveATenthOfAMillisecondBecomeOneTenthAndHugeOnesNeverFireByThemselves) {
  for (double seconds : {0.0, -5.0, 1e-9, std::numeric_limits<double>::quiet_NaN(), -kInfinity}) {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    log.clear();
    timer("t", seconds);
    loop().runFor(1ms);
    ASSERT_EQ(log.size(), 10u) << seconds;
    EXPECT_EQ(std::tuple(log.front(), log.back()), std::tuple("t@100", "t@1000"));
  }
  loop().reset(std::make_unique<aurora::VirtualClock>());
  for (double seconds : {kInfinity, 2e9}) {
    log.clear();
    auto huge = timer("huge", seconds);
    EXPECT_FALSE(huge->fireDate().has_value());
    loop().runFor(100000s);
    EXPECT_TRUE(log.empty());
    huge->fire();
    EXPECT_EQ(log.size(), 1u);
    huge->invalidate();
  }
}

TEST_F(TimerTest, LongRunsFireOnExactMultiplesAndNeverSpin) {
  // 0.05000000074505806 is 0.05 read as a 32-bit float and widened: 50,000,001 ns.
  // Six minutes reach far past 32-bit nanoseconds and would show any drift.
  const std::vector<std::pair<double, std::size_t>> cases = {{0.05, 7200}, {0.1, 3600}, {0.05000000074505806, 7199}};
  for (auto [seconds, fires] : cases) {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    std::vector<Nanoseconds> fired;
    auto timer = NSTimer::timerWithTimeInterval(seconds, true, [&](NSTimer&) { fired.push_back(loop().now()); });
    loop().addTimer(timer, NSDefaultRunLoopMode);
    const Nanoseconds interval = *aurora::timerIntervalFromSeconds(seconds);
    loop().runFor(360s);
    ASSERT_EQ(fired.size(), fires) << seconds;
    for (std::size_t k = 0; k < fired.size(); ++k) ASSERT_EQ(fired[k], interval * static_cast<long>(k + 1));
    timer->invalidate();
  }
}

TEST_F(TimerTest, InvalidatingFromItsOwnBlockStopsItReleasesTheBlockAfterwardsAndReportsEachStepOnce) {
  RecordingObserver observer;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watchToken = token;
  int count = 0;
  auto timer = NSTimer::timerWithTimeInterval(1.0, true, [token, &count](NSTimer& self) {
    if (++count < 2) return;
    self.invalidate();
    self.invalidate();
    EXPECT_EQ(*token, 0);  // still alive while the block runs
  });
  loop().addTimer(timer, NSDefaultRunLoopMode);
  std::weak_ptr<NSTimer> watch = timer;
  token.reset();
  loop().runFor(10s);
  EXPECT_EQ(std::tuple(count, watchToken.expired(), loop().scheduledTimerCount()), std::tuple(2, true, 0u));
  timer.reset();
  EXPECT_TRUE(watch.expired());  // the loop let it go
  EXPECT_EQ(observer.events, (Log{"timer", "schedule", "fire", "fire", "invalidate"}));
}

TEST_F(ViewTest, TheTreeOwnsDownwardsFindsTagsDepthFirstAndReportsEveryChange) {
  auto root = makeView(1), a = makeView(2), a1 = makeView(7), b = makeView(7), c = makeView(1), other = makeView(3);
  root->addSubview(a);
  a->addSubview(a1);
  root->addSubview(b);
  b->addSubview(c);
  EXPECT_EQ(std::tuple(root->viewWithTag(1), root->viewWithTag(7), b->viewWithTag(1), root->viewWithTag(99)),
            std::tuple(root.get(), a1.get(), c.get(), nullptr));
  RecordingObserver observer;
  root->addSubview(makeView(4));
  std::weak_ptr<UIView> child = root->subviews().back();
  EXPECT_EQ(child.lock()->superview(), root);
  child.lock()->setAlpha(1.0);
  child.lock()->setFrame(child.lock()->frame());
  child.lock()->removeFromSuperview();
  EXPECT_TRUE(child.expired());
  root->addSubview(a);
  EXPECT_EQ(root->subviews(), (std::vector{b, a}));
  other->addSubview(a);  // leaves its old parent
  EXPECT_EQ(root->subviews(), (std::vector{b}));
  EXPECT_THROW(a->addSubview(other), std::invalid_argument);
  EXPECT_THROW(a->addSubview(a), std::invalid_argument);
  std::weak_ptr<UIView> watchRoot = root;
  root.reset();
  EXPECT_EQ(std::tuple(watchRoot.expired(), b->superview()), std::tuple(true, nullptr));  // superviews are weak
  EXPECT_EQ(observer.events, (Log{"new", "set tag", "add", "set alpha", "set frame", "remove", "destroy", "add", "remove",
                                  "add", "destroy"}));
}

TEST_F(ViewTest, EachClassGetsTheLayerItsClassAnswersWhoseBackgroundIsTheViewsAndAGradientCopiesItsColours) {
  static const Class gradientClass = [] {
    Class c = viewClass("GradientView", nullptr);
    class_addClassMethod(c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
    return c;
  }();
  auto plain = makeView(0), gradient = makeView(0, gradientClass);
  EXPECT_EQ(std::tuple(object_getClass(plain->layer()), objc_cast<CAGradientLayer>(plain->layer())),
            std::tuple(CALayer::objcClass(), nullptr));
  auto* layer = objc_cast<CAGradientLayer>(gradient->layer());
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(std::tuple(layer->startPoint(), layer->endPoint()), std::tuple(CGPointMake(0.5, 0.0), CGPointMake(0.5, 1.0)));
  std::vector<CGColorRef> colors{UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()};
  layer->setColors(colors);
  colors.clear();
  ASSERT_EQ(layer->colors().size(), 2u);
  EXPECT_EQ(layer->colors()[1]->components(), kBlue);
  plain->setBackgroundColor(UIColor::blueColor());
  EXPECT_EQ(plain->layer()->backgroundColor()->components(), kBlue);
  plain->layer()->setBackgroundColor(UIColor::redColor()->CGColor());
  EXPECT_EQ(std::tuple(plain->backgroundColor()->components(), plain->layer()->presentationBackgroundColor()),
            std::tuple(kRed, kRed));
}

// A view marked during a pass waits for the next turn, after the tasks of this one.
TEST_F(ViewTest, LayoutRunsAtTheNextTurnParentsFirstWhenMarkedOrResized) {
  static const Class resizing = viewClass("ResizingView", +[](id self, SEL) {
    log.push_back("layout parent");
    auto& child = static_cast<UIView*>(self)->subviews().front();
    child->setFrame(CGRectMake(0, 0, child->frame().size.width + 1, 10));
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("task"); });
  });
  auto child = makeView(2, loggingViewClass()), parent = makeView(1, resizing);
  parent->addSubview(child);
  EXPECT_TRUE(log.empty());
  loop().runFor(0ns);
  parent->setNeedsLayout();
  loop().runFor(0ns);
  EXPECT_EQ(log, (Log{"layout parent", "layout 2", "task", "layout parent", "task", "layout 2"}));
  EXPECT_EQ(loop().now(), 0ns);
  log.clear();
  child->setFrame(CGRect{CGPointMake(5, 5), child->frame().size});  // moved, not resized
  loop().runFor(1s);
  EXPECT_TRUE(log.empty());
  child->setFrame(CGRectMake(5, 5, 20, 10));
  loop().runFor(0ns);
  EXPECT_EQ(log, (Log{"layout 2"}));
}

TEST_F(ViewTest, HookedLayoutSubviewsIsWhatTheLayoutMachineryCallsAndANilInitialiserMakesNoView) {
  static const Class hostPill = [] {
    Class c = viewClass("HookedHostPill", nullptr, loggingViewClass());
    MSHookMessageEx(c, sel_registerName("layoutSubviews"), +[](id self, SEL sel) {
      savedLayout(self, sel);
      log.push_back("hooked");
    }, &savedLayout);
    return c;
  }();
  static const Class refusing = viewClass("RefusingView", nullptr);
  MSHookMessageEx(refusing, sel_registerName("initWithFrame:"), +[](id, SEL, CGRect) -> id { return nullptr; }, &savedInit);
  auto pill = makeView(5, hostPill);
  loop().runFor(0ns);
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // at once, not at the next turn
  EXPECT_EQ(log, (Log{"layout 5", "hooked", "layout 5", "hooked"}));
  RecordingObserver observer;
  EXPECT_EQ(UIView::make(refusing, CGRectMake(0, 0, 1, 1)), nullptr);
  EXPECT_TRUE(observer.events.empty());  // never initialised: neither made nor destroyed as a view
  EXPECT_THROW(UIView::make(CALayer::objcClass(), CGRect{}), std::invalid_argument);
}

// The constraint subset: visual formats and bindings, applied by the base layout pass.
class LayoutConstraintTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();  // before the views: a reset drops their first pass
    pill = UIView::make(UIView::objcClass(), CGRectMake(40, 831, 134, 5));
    inner = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
    pill->addSubview(inner);
    views = _NSDictionaryOfVariableBindings("colorView", {inner.get()});
  }
  NSLayoutConstraintList constraints(std::string_view format) {
    return NSLayoutConstraint::constraintsWithVisualFormat(format, 0, nullptr, views);
  }
  std::shared_ptr<UIView> pill, inner;
  NSLayoutViewBindings views;
};

TEST_F(LayoutConstraintTest, PinnedEdgesFollowTheSuperviewFromTheNextPassOnThroughTheOrdinarySetter) {
  RecordingObserver observer;
  auto vertical = constraints("V:|-0-[colorView]-0-|");
  ASSERT_EQ(vertical.size(), 2u);
  EXPECT_EQ(std::tuple(vertical[0]->attribute(), vertical[1]->attribute()),
            std::tuple(NSLayoutAttribute::Top, NSLayoutAttribute::Bottom));
  pill->addConstraints(constraints("H:|-0-[colorView]-0-|"));
  pill->addConstraints(vertical);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 10, 10));  // not before the pass
  loop().runFor(0ns);
  EXPECT_EQ(std::tuple(inner->frame(), observer.events.back()), std::tuple(CGRectMake(0, 0, 134, 5), "set frame"));
  pill->setFrame(CGRectMake(40, 800, 200, 30));
  loop().runFor(0ns);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 200, 30));
}

TEST_F(LayoutConstraintTest, GapsAndShortFormsPlaceTheEdgesAnythingElseIsRefused) {
  pill->addConstraints(constraints("|-4-[colorView]-10-|"));
  pill->addConstraints(constraints("V:|[colorView]-1.5-|"));
  pill->layoutIfNeeded();
  EXPECT_EQ(inner->frame(), CGRectMake(4, 0, 120, 3.5));
  EXPECT_EQ(constraints("H:|-1000000000-[colorView]-0-|").size(), 2u);  // the widest gap taken
  for (std::string_view format : {"", "H:|-0-[colorView]", "H:[colorView]-0-|", "H:|-[colorView]-|", "H:|-0-[other]-0-|",
                                  "H:|-0-[colorView]-0-|junk", "X:|-0-[colorView]-0-|", "H:|-0-[colorView(>=5)]-0-|",
                                  "H:|--1-[colorView]-0-|", "H:|-0-[colorView]-0-[colorView]-0-|"}) {
    EXPECT_THROW(constraints(format), std::invalid_argument) << format;
  }
  EXPECT_THROW(NSLayoutConstraint::constraintsWithVisualFormat("H:|-0-[colorView]-0-|", 1, nullptr, views),
               std::invalid_argument);
  EXPECT_THROW(_NSDictionaryOfVariableBindings("a, b", {inner.get()}), std::invalid_argument);
  std::weak_ptr<UIView> watch = inner;
  views.clear();
  inner->removeFromSuperview();
  inner.reset();
  EXPECT_TRUE(watch.expired());
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // nothing left to place: no crash
}

class AnimationTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    view->layer()->setBackgroundColor(CGColorCreate(kRed));
  }
  // Animates the view's layer to `to`; completions must run on the main thread.
  void animateTo(const RGBA& to, double seconds) {
    CALayer* layer = view->layer();
    UIView::animateWithDuration(
        seconds, [layer, to] { layer->setBackgroundColor(CGColorCreate(to)); },
        [this](bool finished) { completions.push_back({loop().now(), finished && aurora::isMainThread()}); });
  }
  RGBA shown() const { return view->layer()->presentationBackgroundColor(); }
  void expectShown(const RGBA& want) {
    for (double RGBA::*c : {&RGBA::red, &RGBA::green, &RGBA::blue, &RGBA::alpha}) EXPECT_NEAR(shown().*c, want.*c, 1e-9);
  }

  std::shared_ptr<UIView> view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  using Completions = std::vector<std::pair<Nanoseconds, bool>>;
  Completions completions;
};

// A newer animation takes over from where the presentation is; the earlier still completes.
TEST_F(AnimationTest, ModelChangesAtOnceAndThePresentationEasesFromWhereItIs) {
  animateTo(kBlue, 1.0);
  EXPECT_EQ(std::tuple(view->layer()->backgroundColor()->components(), shown()), std::tuple(kBlue, kRed));
  loop().runFor(250ms);
  const double eased = AnimationEngine::easeInOut(0.25);
  EXPECT_NEAR(eased, 0.1291, 1e-3);  // the ease-in-out curve starts slowly
  EXPECT_EQ(shown(), mix(kRed, kBlue, eased));
  loop().runFor(250ms);
  expectShown(mix(kRed, kBlue, 0.5));
  const RGBA halfway = shown();
  animateTo(kGreen, 1.0);
  EXPECT_EQ(shown(), halfway);
  loop().runFor(500ms);
  expectShown(mix(halfway, kGreen, 0.5));
  loop().runFor(10s);
  EXPECT_EQ(shown(), kGreen);
  EXPECT_EQ(completions, (Completions{{1s, true}, {1500ms, true}}));
  double previous = 0;  // symmetric and monotonic, from 0 to 1
  for (int i = 0; i <= 100; ++i) {
    const double y = AnimationEngine::easeInOut(i / 100.0);
    EXPECT_GE(y, previous);
    EXPECT_NEAR(y + AnimationEngine::easeInOut(1 - i / 100.0), 1.0, 1e-9);
    previous = y;
  }
}

// None completes inside the call or sooner than a frame later (chains of them: the pill view tests).
TEST_F(AnimationTest, DurationsOfZeroOrLessNanAndInfinity) {
  animateTo(kBlue, 0.0);
  EXPECT_EQ(shown(), kBlue);
  animateTo(kGreen, -3.0);
  EXPECT_EQ(shown(), kGreen);
  animateTo(kBlue, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(completions.empty());
  loop().runFor(1ms);
  EXPECT_EQ(shown(), kBlue);
  animateTo(kGreen, kInfinity);
  loop().runFor(100000s);
  EXPECT_EQ(std::tuple(shown(), view->layer()->backgroundColor()->components()), std::tuple(kBlue, kGreen));
  const std::pair<Nanoseconds, bool> frame{aurora::kDisplayFrame, true};
  EXPECT_EQ(completions, (Completions{frame, frame, frame}));
}

// An endless animation goes with its layer, its completion released unrun, unless it changed none.
TEST_F(AnimationTest, DestroyedLayerEndsAtItsTimeWithFinishedFalseAndTakesEndlessAnimationsAlong) {
  auto captured = std::make_shared<int>(0);
  std::weak_ptr<int> watchCompletion = captured;
  CALayer* layer = view->layer();
  animateTo(kBlue, 1.0);
  UIView::animateWithDuration(
      kInfinity, [layer] { layer->setBackgroundColor(CGColorCreate(kGreen)); }, [captured](bool) { ++*captured; });
  captured.reset();
  UIView::animateWithDuration(kInfinity, [] {});
  AnimationEngine& engine = loop().animations();
  loop().runFor(500ms);
  EXPECT_EQ(engine.activeCount(), 3u);
  std::weak_ptr<UIView> watch = view;
  view.reset();
  ASSERT_TRUE(watch.expired());
  loop().runFor(0s);
  EXPECT_EQ(std::tuple(engine.activeCount(), watchCompletion.expired()), std::tuple(2u, true));
  loop().runFor(2s);
  EXPECT_EQ(std::tuple(completions, engine.activeCount()), std::tuple(Completions{{1s, false}}, 1u));
}

TEST_F(AnimationTest, OnlyTheBackgroundAnimatesAndIsReportedOnceWithItsAnimation) {
  RecordingObserver observer;
  auto target = view;
  CALayer* layer = view->layer();
  UIView::animateWithDuration(1.0, [layer] { layer->setCornerRadius(4); });
  EXPECT_EQ(std::tuple(layer->cornerRadius(), shown()), std::tuple(4, kRed));
  UIView::animateWithDuration(1.0, [target] { target->setBackgroundColor(UIColor::blueColor()); });
  view->setBackgroundColor(UIColor::redColor());
  EXPECT_EQ(shown(), kRed);  // the change outside the block shows at once
  loop().runFor(2s);
  const std::string one = observer.events.at(0).substr(8), two = std::to_string(std::stoi(one) + 1);  // serials count up
  EXPECT_EQ(observer.events, (Log{"animate " + one, "set layer.cornerRadius", "animate " + two, "set backgroundColor anim",
                                  "set backgroundColor", "complete " + one + " 1", "complete " + two + " 1"}));
}

}  // namespace
