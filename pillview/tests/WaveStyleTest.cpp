// The wave: its first update at once, the 60 hues it shows and how they move,
// its timer's rate and modes, and that a destroyed view stops its timers.
#include "PillViewTest.h"

namespace pillview::testing {
namespace {

using PillViewWave = PillViewTest;

// The 60 colours of palette hues first, first + 1, ... (modulo 361).
std::vector<RGBA> band(long first) {
  std::vector<RGBA> colors;
  for (long j = 0; j < 60; ++j) colors.push_back(hue(static_cast<double>(((first + j) % 361 + 361) % 361)));
  return colors;
}

std::vector<RGBA> shown(const ColorPillView& view) {
  std::vector<RGBA> colors;
  for (const auto& color : view.gradientLayer()->colors()) colors.push_back(color->components());
  return colors;
}

TEST_F(PillViewWave, FirstUpdateFollowsTheCallAtOnce) {
  for (const auto& [direction, expected] : {std::pair{"l2r", band(360)}, std::pair{"r2l", band(1)}}) {
    SCOPED_TRACE(direction);
    settings::waveDirection = direction;
    auto view = makeView();
    observer.log.clear();
    view->waveView();
    EXPECT_EQ(observer.log,
              (std::vector<std::string>{"timerCreated", "timerScheduled NSDefaultRunLoopMode", "timerFired"}));
    EXPECT_TRUE(view->gradientLayer()->colors().empty());  // the tick only queues the update

    runNow();
    EXPECT_EQ(now(), at(0));
    EXPECT_EQ(shown(*view), expected);
    EXPECT_TRUE(view->gradientLayer()->drawsAsynchronously());
    EXPECT_EQ(std::vector<std::string>(observer.log.begin() + 3, observer.log.end()),
              (std::vector<std::string>{"layer.colors", "layer.drawsAsynchronously"}));
  }
}

TEST_F(PillViewWave, TicksEveryIntervalWith60ColoursAndComesBackAfter361Updates) {
  auto view = makeView();
  view->waveView();
  runNow();
  runFor(0.049);
  EXPECT_EQ(observer.gradients(*view).size(), 1u);
  runFor(0.001);
  EXPECT_EQ(observer.gradients(*view).size(), 2u);

  runFor(17.95);  // 18 s after the start: the immediate update and 360 ticks
  const auto updates = observer.gradients(*view);
  ASSERT_EQ(updates.size(), 361u);
  for (const auto& colors : updates) EXPECT_EQ(colors.size(), 60u);
  EXPECT_EQ(shown(*view), band(0));
  for (std::size_t i = 0; i <= 360; ++i) EXPECT_EQ(view->colors()->objectAtIndex(i)->components(), hue(static_cast<double>(i)));
}

TEST_F(PillViewWave, DirectionIsReadAtEachUpdateAndOthersStandStill) {
  auto view = makeView();
  view->waveView();
  runNow();
  runFor(0.2);
  EXPECT_EQ(shown(*view), band(-5));

  settings::waveDirection = "r2l";  // reverses from where the band is
  runFor(0.15);
  EXPECT_EQ(shown(*view), band(-2));

  for (const char* direction : {"L2R", "", "left"}) {
    settings::waveDirection = direction;
    const std::size_t before = observer.gradients(*view).size();
    runFor(0.1);
    EXPECT_EQ(observer.gradients(*view).size(), before + 2) << direction;  // still updated, not moved
    EXPECT_EQ(shown(*view), band(-2)) << direction;
  }
}

TEST_F(PillViewWave, SpeedIsReadOnceAndASecondStartDoublesTheRate) {
  auto view = makeView();
  view->waveView();
  settings::waveSpeed = 1.0;  // does not reach the running wave
  runFor(1.0);
  EXPECT_EQ(observer.gradients(*view).size(), 21u);

  settings::waveSpeed = 0.05;
  view->waveView();  // the first timer goes on; `timer` is the new one
  ASSERT_EQ(observer.timersCreated.size(), 2u);
  EXPECT_EQ(view->timer().get(), observer.timersCreated.back());
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 2u);
  runNow();
  runFor(1.0);
  EXPECT_EQ(observer.gradients(*view).size(), 21u + 1 + 2 * 20);
  EXPECT_EQ(shown(*view), band(-62));
}

TEST_F(PillViewWave, StandsStillInTheTrackingModeAndGoesOnAfter) {
  auto view = makeView();
  view->waveView();
  runNow();
  runFor(0.1);
  NSRunLoop::mainRunLoop().setMode(UITrackingRunLoopMode);
  runFor(1.0);
  EXPECT_EQ(observer.gradients(*view).size(), 3u);
  EXPECT_EQ(shown(*view), band(-3));

  NSRunLoop::mainRunLoop().setMode(NSDefaultRunLoopMode);
  runNow();  // one tick for the missed ones, no burst
  EXPECT_EQ(shown(*view), band(-4));
  runFor(0.05);
  EXPECT_EQ(shown(*view), band(-5));
}

TEST_F(PillViewWave, DestroyedViewStopsItsTimersAndIsReleased) {
  auto view = makeView();
  view->waveView();
  view->waveView();
  runNow();
  std::weak_ptr<ColorPillView> weakView = view;
  const std::size_t updates = observer.gradients(*view).size();
  const std::uint64_t serial = view->serial();

  view.reset();
  EXPECT_TRUE(weakView.expired());
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 1u);  // its latest timer, stopped by the view
  runFor(0.05);                                                  // the older one stops at its next tick
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 0u);
  EXPECT_EQ(observer.timersInvalidated, 2u);
  const std::size_t fired = observer.timersFired;
  runFor(1.0);
  EXPECT_EQ(observer.timersFired, fired);
  EXPECT_EQ(std::count_if(observer.sets.begin(), observer.sets.end(),
                          [&](const auto& set) { return set.view == serial && set.property == aurora::ViewProperty::LayerColors; }),
            static_cast<long>(updates));
}

TEST_F(PillViewWave, QueuedUpdateKeepsTheViewUntilItHasRun) {
  auto view = makeView();
  view->waveView();
  std::weak_ptr<ColorPillView> weakView = view;
  const std::uint64_t serial = view->serial();
  view.reset();
  EXPECT_FALSE(weakView.expired());
  runNow();
  EXPECT_TRUE(weakView.expired());
  EXPECT_EQ(observer.sets.back().view, serial);  // the update ran on it
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 0u);
}

TEST_F(PillViewWave, BadIntervalsNeitherHangNorSpin) {
  for (double seconds : {0.0, -1.0, kNaN}) {
    settings::waveSpeed = seconds;
    auto view = makeView();
    view->waveView();
    runFor(0.01);  // at the shortest interval, 0.1 ms
    EXPECT_EQ(observer.gradients(*view).size(), 101u) << seconds;
  }
  for (double seconds : {kInfinity, 1e12}) {
    settings::waveSpeed = seconds;
    auto view = makeView();
    view->waveView();
    runFor(60.0);  // fired once, by the start, never by the run loop
    EXPECT_EQ(observer.gradients(*view).size(), 1u) << seconds;
  }
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 0u);
}

TEST_F(PillViewWave, PaletteTakenAwayLeavesTheGradientEmpty) {
  for (auto palette : {ColorPillView::Palette::array(), std::shared_ptr<ColorPillView::Palette>()}) {
    auto view = makeView();
    view->setColors(palette);
    view->waveView();
    runFor(0.1);
    EXPECT_EQ(observer.gradients(*view).size(), 3u);
    EXPECT_TRUE(view->gradientLayer()->colors().empty());
  }
}

}  // namespace
}  // namespace pillview::testing
