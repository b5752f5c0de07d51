// Timers: interval rules, fixed schedules without drift or catch-up, fire,
// invalidation, modes.
#include <limits>

#include "PlatformTestSupport.h"

namespace {

using namespace aurora::testing;
using aurora::Nanoseconds;

class TimerTest : public VirtualLoopTest {
 protected:
  // A repeating timer in `mode` that records the instants it fires at.
  std::shared_ptr<NSTimer> recordingTimer(double seconds, NSRunLoopMode mode = NSDefaultRunLoopMode,
                                          bool repeats = true) {
    auto timer = NSTimer::timerWithTimeInterval(seconds, repeats, [this](NSTimer&) { fired.push_back(loop().now()); });
    loop().addTimer(timer, mode);
    return timer;
  }
  std::vector<Nanoseconds> fired;
};

TEST_F(TimerTest, IntervalsNotAboveATenthOfAMillisecondBecomeOneTenth) {
  for (double seconds : {0.0, -5.0, 1e-9, std::numeric_limits<double>::quiet_NaN(),
                         -std::numeric_limits<double>::infinity()}) {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    fired.clear();
    recordingTimer(seconds);
    loop().runFor(1ms);
    ASSERT_EQ(fired.size(), 10u) << seconds;
    EXPECT_EQ(fired.front(), 100us);
    EXPECT_EQ(fired.back(), 1ms);
  }
}

TEST_F(TimerTest, InfiniteOrHugeIntervalsNeverFireByThemselves) {
  for (double seconds : {std::numeric_limits<double>::infinity(), 2e9}) {
    auto timer = recordingTimer(seconds);
    EXPECT_FALSE(timer->fireDate().has_value());
    loop().runFor(100000s);
    EXPECT_TRUE(fired.empty());
    timer->fire();
    EXPECT_EQ(fired.size(), 1u);
    timer->invalidate();
    fired.clear();
  }
}

TEST_F(TimerTest, LongRunsFireOnExactMultiplesAndNeverSpin) {
  struct Case {
    double seconds;
    std::size_t expectedFires;
  };
  // 0.05000000074505806 is 0.05 read as a 32-bit float and widened: 50,000,001 ns.
  for (Case c : {Case{0.05, 72000}, Case{0.1, 36000}, Case{0.05000000074505806, 71999}}) {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    fired.clear();
    auto timer = recordingTimer(c.seconds);
    const Nanoseconds interval = *aurora::timerIntervalFromSeconds(c.seconds);
    loop().runFor(3600s);
    ASSERT_EQ(fired.size(), c.expectedFires) << c.seconds;
    for (std::size_t k = 0; k < fired.size(); ++k) ASSERT_EQ(fired[k], interval * static_cast<long>(k + 1));
    timer->invalidate();
  }
}

TEST_F(TimerTest, MissedFireDatesAreSkippedNotCaughtUp) {
  recordingTimer(1.0);
  loop().performAt(1500ms, [] { NSRunLoop::mainRunLoop().setMode(UITrackingRunLoopMode); });
  loop().performAt(3700ms, [] { NSRunLoop::mainRunLoop().setMode(NSDefaultRunLoopMode); });
  loop().runFor(5s);
  EXPECT_EQ(fired, (std::vector<Nanoseconds>{1s, 3700ms, 4s, 5s}));
}

TEST_F(TimerTest, CommonModeTimersFireWhileTracking) {
  recordingTimer(1.0, NSRunLoopCommonModes);
  loop().setMode(UITrackingRunLoopMode);
  loop().runFor(2s);
  EXPECT_EQ(fired, (std::vector<Nanoseconds>{1s, 2s}));
}

TEST_F(TimerTest, FireRunsAtOnceAndLeavesTheScheduleAlone) {
  auto timer = recordingTimer(1.0);
  loop().performAt(500ms, [timer] { timer->fire(); });
  loop().runFor(2s);
  EXPECT_EQ(fired, (std::vector<Nanoseconds>{500ms, 1s, 2s}));
  EXPECT_EQ(timer->fireDate(), 3s);
}

TEST_F(TimerTest, TimerScheduledAfterItsFireDateFiresOnceThenKeepsItsGrid) {
  auto timer = NSTimer::timerWithTimeInterval(1.0, true, [this](NSTimer&) { fired.push_back(loop().now()); });
  loop().performAt(3500ms, [timer] { NSRunLoop::mainRunLoop().addTimer(timer, NSDefaultRunLoopMode); });
  loop().runFor(4s);
  EXPECT_EQ(fired, (std::vector<Nanoseconds>{3500ms, 4s}));
}

TEST_F(TimerTest, OneShotTimersFireOnceAndAreInvalidated) {
  auto timer = recordingTimer(1.0, NSDefaultRunLoopMode, false);
  loop().runFor(5s);
  EXPECT_EQ(fired, (std::vector<Nanoseconds>{1s}));
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(loop().scheduledTimerCount(), 0u);

  auto manual = recordingTimer(1.0, NSDefaultRunLoopMode, false);
  manual->fire();
  EXPECT_FALSE(manual->isValid());
  loop().runFor(5s);
  EXPECT_EQ(fired.size(), 2u);
}

TEST_F(TimerTest, EqualFireDatesFireInCreationOrder) {
  std::vector<int> order;
  for (int i = 0; i < 3; ++i) {
    loop().addTimer(NSTimer::timerWithTimeInterval(1.0, false, [&order, i](NSTimer&) { order.push_back(i); }),
                    NSDefaultRunLoopMode);
  }
  loop().runFor(1s);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(TimerTest, InvalidatingFromItsOwnBlockStopsItAndReleasesTheBlockAfterwards) {
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  int count = 0;
  auto timer = NSTimer::timerWithTimeInterval(1.0, true, [token, &count](NSTimer& self) {
    if (++count == 2) {
      self.invalidate();
      EXPECT_EQ(*token, 0);  // still alive while the block runs
    }
  });
  token.reset();
  loop().addTimer(timer, NSDefaultRunLoopMode);
  loop().runFor(10s);
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(loop().scheduledTimerCount(), 0u);
  timer->fire();  // an invalid timer does nothing
  EXPECT_EQ(count, 2);
}

TEST_F(TimerTest, TheRunLoopKeepsScheduledTimersAliveUntilInvalidated) {
  std::weak_ptr<NSTimer> watch;
  {
    auto timer = recordingTimer(1.0);
    watch = timer;
  }
  loop().runFor(2s);
  EXPECT_EQ(fired.size(), 2u);
  ASSERT_FALSE(watch.expired());
  watch.lock()->invalidate();
  EXPECT_TRUE(watch.expired());
}

TEST_F(TimerTest, EveryStepIsReported) {
  RecordingObserver observer;
  auto timer = recordingTimer(1.0);
  loop().runFor(1s);
  timer->fire();
  timer->invalidate();
  timer->invalidate();
  EXPECT_EQ(observer.events, (std::vector<std::string>{"timer", "schedule", "fire", "fire", "invalidate"}));
}

}  // namespace
