// The main run loop: an instant's order, the main queue, modes, clocks, threads; timers on their grid.
#include <future>
#include <thread>

#include "PlatformTestSupport.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"
#include "dispatch/dispatch.h"

namespace {

using namespace aurora::testing;
using aurora::Nanoseconds;

Log log;
void post(aurora::OnceClosure task) { dispatch_async(dispatch_get_main_queue(), std::move(task)); }
void note(std::string entry) {
  post([entry] { log.push_back(entry); });
}
// Logs "name@T", T the virtual time in microseconds.
void stamp(const std::string& name) {
  log.push_back(name + "@" + std::to_string(NSRunLoop::mainRunLoop().now() / 1us));
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

// Commands, queue, timers, completions, layout; a task posted in a drain runs in the next turn.
TEST_F(RunLoopTest, AnInstantRunsItsWorkInAFixedOrder) {
  static const Class pillClass = [] {
    Class c = objc_registerClass("RunLoopOrderView", UIView::objcClass());
    class_addMethod(
        c, sel_registerName("layoutSubviews"), +[](id, SEL) { log.push_back("layout"); }, "v@:");
    return c;
  }();
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
  loop().addTimer(NSTimer::timerWithTimeInterval(1.0, false,
                                                 [](NSTimer&) {
                                                   log.push_back("timer");
                                                   note("task from timer");
                                                 }),
                  NSDefaultRunLoopMode);
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
// The main queue is the only one: work sent anywhere else is refused aloud, never dropped quietly.
TEST_F(RunLoopTest, PostingToAnyOtherQueueThrows) {
  try {
    dispatch_async(nullptr, [] { log.push_back("lost"); });
    FAIL() << "expected an exception";
  } catch (const aurora::dispatch::UnknownQueue& error) {
    EXPECT_NE(std::string(error.what()).find("not the main queue"), std::string::npos) << error.what();
  }
  loop().runFor(0ns);
  EXPECT_TRUE(log.empty());
}

TEST_F(RunLoopTest, ARunInsideATaskOrABlockLeavesTheOuterTurnWhole) {
  post([] {
    log.push_back("a");
    note("c");
    loop().runFor(0ns);
  });
  note("b");
  auto outer = timer("outer", 1.0);
  loop().addTimer(NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) { loop().runFor(0ns); }),
                  NSDefaultRunLoopMode);
  timer("second", 1.0);
  loop().runFor(2s);
  EXPECT_EQ(log, (Log{"a", "c", "b", "outer@1000000", "second@1000000", "outer@2000000", "second@2000000"}));
}

// In either mode; with nothing to do it jumps to its end; the common modes are never current.
TEST_F(RunLoopTest, ARunEndsAtItsEndOrAfterTheInstantThatStopsIt) {
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

// Posts and a stop wake it once it sleeps, the posts run on the main thread, a reset there is refused.
TEST(RealClockRunLoopTest, PostsFromAnotherThreadWakeItAndRunInOrder) {
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
  EXPECT_EQ(next, 100);
  EXPECT_TRUE(inOrderOnMain);
  loop.reset(std::make_unique<aurora::VirtualClock>());
  EXPECT_DEATH(std::thread([&] { loop.reset(std::make_unique<aurora::VirtualClock>()); }).join(),
               "-\\[NSRunLoop reset\\] called off the main thread");
}

// Missed dates made up once; fire() and late scheduling keep the grid; ties by creation; the loop holds the common one.
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
  EXPECT_EQ((std::vector{manual->isValid(), once->isValid()}), (std::vector{false, false}));
  EXPECT_EQ(loop().scheduledTimerCount(), 3u);
}

// At most 0.1 ms (0, negative, NaN, -inf) becomes 0.1 ms; infinite and huge ones fire only by hand.
TEST_F(TimerTest, IntervalsOutOfRangeAreClampedOrNeverDue) {
  for (double seconds : {0.0, -5.0, 1e-9, std::numeric_limits<double>::quiet_NaN(), -kInfinity}) {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    log.clear();
    timer("t", seconds);
    loop().runFor(1ms);
    ASSERT_EQ(log.size(), 10u) << seconds;
    EXPECT_EQ(log.front(), "t@100") << seconds;
    EXPECT_EQ(log.back(), "t@1000") << seconds;
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
  // The third is 0.05 read as a float (50,000,001 ns); six minutes pass 32-bit nanoseconds and would show drift.
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

// It stops, its block released after it returns, and each step is reported once.
TEST_F(TimerTest, ItMayInvalidateItselfFromItsOwnBlock) {
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
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(watchToken.expired());
  EXPECT_EQ(loop().scheduledTimerCount(), 0u);
  timer.reset();
  EXPECT_TRUE(watch.expired());  // the loop let it go
  EXPECT_EQ(observer.events, (Log{"timer", "schedule", "fire", "fire", "invalidate"}));
}

}  // namespace
