// The census: each kind of object counted while it lives or is pending, and
// nothing once it is gone.
#include <limits>

#include "PlatformTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIView.h"
#include "aurora/Census.h"
#include "dispatch/dispatch.h"

namespace {

using namespace aurora::testing;
using aurora::takeCensus;

class CensusTest : public VirtualLoopTest {};

TEST_F(CensusTest, AViewAndItsLayerAreCountedUntilDestroyed) {
  const aurora::Census before = takeCensus();
  {
    auto parent = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
    parent->addSubview(UIView::make(UIView::objcClass(), CGRectMake(0, 0, 5, 5)));
    EXPECT_EQ(takeCensus().views, before.views + 2);
    EXPECT_EQ(takeCensus().layers, before.layers + 2);
  }
  EXPECT_EQ(takeCensus(), before);
}

TEST_F(CensusTest, ScheduledTimersCountUntilInvalidated) {
  auto timer = NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) {});
  EXPECT_EQ(takeCensus().timers, 0u);  // made, not yet on the run loop
  loop().addTimer(timer, NSDefaultRunLoopMode);
  loop().addTimer(timer, UITrackingRunLoopMode);
  EXPECT_EQ(takeCensus().timers, 1u);
  loop().runFor(3s);
  EXPECT_EQ(takeCensus().timers, 1u);
  timer->invalidate();
  EXPECT_EQ(takeCensus().timers, 0u);
}

TEST_F(CensusTest, QueuedTasksCountUntilTheDrain) {
  dispatch_async(dispatch_get_main_queue(), [] {});
  dispatch_async(dispatch_get_main_queue(), [] {});
  EXPECT_EQ(takeCensus().pendingTasks, 2u);
  loop().runFor(0s);
  EXPECT_EQ(takeCensus().pendingTasks, 0u);
}

TEST_F(CensusTest, AnimationsCountUntilTheyEndAndEndlessOnesStay) {
  UIView::animateWithDuration(0.5, [] {});
  UIView::animateWithDuration(std::numeric_limits<double>::infinity(), [] {});
  EXPECT_EQ(takeCensus().animations, 2u);
  loop().runFor(1s);
  EXPECT_EQ(takeCensus().animations, 1u);
}

TEST_F(CensusTest, AResetRunLoopHoldsNothing) {
  const std::size_t viewsBefore = takeCensus().views;
  auto view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  loop().addTimer(NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) {}), NSDefaultRunLoopMode);
  dispatch_async(dispatch_get_main_queue(), [] {});
  UIView::animateWithDuration(0.5, [] {});
  loop().reset(std::make_unique<aurora::VirtualClock>());
  const aurora::Census after = takeCensus();
  EXPECT_EQ(after.timers + after.pendingTasks + after.animations, 0u);
  EXPECT_EQ(after.views, viewsBefore + 1);  // `view` is still held here
}

}  // namespace
