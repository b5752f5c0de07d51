// The main run loop and the main queue: the order of an instant, turns, modes,
// clocks, cross-thread posts and sources.
#include <future>
#include <thread>

#include <unistd.h>

#include "PlatformTestSupport.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"
#include "dispatch/dispatch.h"
#include "substrate.h"

namespace {

using namespace aurora::testing;
using aurora::Nanoseconds;

std::vector<std::string> log;

void recordingLayoutSubviews(id, SEL) { log.push_back("layout"); }

class RunLoopTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    log.clear();
  }
};

TEST_F(RunLoopTest, PostingNeverRunsSynchronouslyAndTasksRunInOrder) {
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("a"); });
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("b"); });
  EXPECT_TRUE(log.empty());
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RunLoopTest, TaskPostedDuringADrainRunsOnTheNextTurnAtTheSameInstant) {
  dispatch_async(dispatch_get_main_queue(), [] {
    log.push_back("first");
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("posted during drain"); });
  });
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("second"); });
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "posted during drain"}));
  EXPECT_EQ(loop().now(), 0ns);
}

// The queue and the timers reuse their lists from one turn to the next; a run
// of the loop inside a task or a timer's block must not disturb the outer one.
TEST_F(RunLoopTest, ARunInsideATaskOrABlockLeavesTheOuterTurnWhole) {
  dispatch_async(dispatch_get_main_queue(), [] {
    log.push_back("a");
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("c"); });
    loop().runFor(0ns);
  });
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("b"); });
  auto outer = NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) {
    log.push_back("outer timer");
    loop().runFor(0ns);
  });
  auto second = NSTimer::timerWithTimeInterval(1.0, true, [](NSTimer&) { log.push_back("second timer"); });
  loop().addTimer(outer, NSDefaultRunLoopMode);
  loop().addTimer(second, NSDefaultRunLoopMode);
  loop().runFor(0ns);
  loop().runFor(1s);
  loop().runFor(1s);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "b", "outer timer", "second timer", "outer timer", "second timer"}));
  outer->invalidate();
  second->invalidate();
}

TEST_F(RunLoopTest, AnInstantRunsCommandsThenQueueTimersAnimationsAndLayoutInTurns) {
  static const Class pillClass = [] {
    Class c = objc_registerClass("RunLoopOrderView", UIView::objcClass());
    class_addMethod(c, sel_registerName("layoutSubviews"), &recordingLayoutSubviews, "v@:");
    return c;
  }();
  auto view = UIView::make(pillClass, CGRectMake(0, 0, 10, 10));
  loop().runFor(0ns);  // the new view's first pass
  log.clear();

  auto timer = NSTimer::timerWithTimeInterval(1.0, false, [](NSTimer&) {
    log.push_back("timer");
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("task from timer"); });
  });
  loop().addTimer(timer, NSDefaultRunLoopMode);
  loop().performAt(500ms, [] {
    UIView::animateWithDuration(0.5, nullptr, [](bool) { log.push_back("completion"); });
  });
  loop().performAt(1s, [view] {
    log.push_back("command");
    view->setNeedsLayout();
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("task"); });
  });
  loop().runFor(1s);
  EXPECT_EQ(log, (std::vector<std::string>{"command", "task", "timer", "completion", "layout", "task from timer"}));
}

TEST_F(RunLoopTest, RunUntilIncludesTheEndInstantAndJumpsOnAVirtualClock) {
  loop().performAt(2s, [] { log.push_back("at end"); });
  loop().runUntil(2s);
  EXPECT_EQ(log, (std::vector<std::string>{"at end"}));
  EXPECT_EQ(loop().now(), 2s);
  loop().runFor(3600s);  // nothing to do: one jump
  EXPECT_EQ(loop().now(), 3602s);
}

TEST_F(RunLoopTest, TheMainQueueDrainsInTheTrackingModeToo) {
  loop().setMode(UITrackingRunLoopMode);
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("ran"); });
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"ran"}));
  EXPECT_THROW(loop().setMode(NSRunLoopCommonModes), std::invalid_argument);
}

TEST_F(RunLoopTest, StopEndsTheRunAfterTheCurrentInstant) {
  loop().performAt(1s, [] {
    NSRunLoop::mainRunLoop().stop();
    dispatch_async(dispatch_get_main_queue(), [] { log.push_back("same instant"); });
  });
  loop().performAt(2s, [] { log.push_back("later"); });
  loop().runFor(10s);
  EXPECT_EQ(log, (std::vector<std::string>{"same instant"}));
  EXPECT_EQ(loop().now(), 1s);
}

TEST_F(RunLoopTest, ReadableSourceIsServedOnTheMainThread) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int served = 0;
  loop().addSource(fds[0], [&] {
    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    EXPECT_TRUE(aurora::isMainThread());
    ++served;
  });
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  loop().runFor(1ms);
  loop().runFor(1ms);
  EXPECT_EQ(served, 1);
  loop().removeSource(fds[0]);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RealClockRunLoopTest, CrossThreadPostsWakeASleepingLoopAndRunInOrderOnTheMainThread) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.reset(std::make_unique<aurora::RealClock>());
  std::promise<void> loopIsIdle;
  std::vector<int> seen;
  bool allOnMain = true;
  // The worker starts posting only once the loop has drained everything and
  // has nothing left but to sleep; nothing else would wake it.
  dispatch_async(dispatch_get_main_queue(), [&] { loopIsIdle.set_value(); });
  std::thread worker([&] {
    loopIsIdle.get_future().wait();
    for (int i = 0; i < 100; ++i) {
      dispatch_async(dispatch_get_main_queue(), [&, i] {
        seen.push_back(i);
        allOnMain = allOnMain && aurora::isMainThread();
        if (i == 99) NSRunLoop::mainRunLoop().stop();
      });
    }
  });
  loop.run();
  worker.join();
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(allOnMain);
  loop.reset(std::make_unique<aurora::VirtualClock>());
}

TEST(RealClockRunLoopTest, StopFromAnotherThreadEndsAnIdleRun) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.reset(std::make_unique<aurora::RealClock>());
  std::promise<void> running;
  dispatch_async(dispatch_get_main_queue(), [&] { running.set_value(); });
  std::thread stopper([&] {
    running.get_future().wait();
    NSRunLoop::mainRunLoop().stop();
  });
  loop.run();
  stopper.join();
  loop.reset(std::make_unique<aurora::VirtualClock>());
}

}  // namespace
