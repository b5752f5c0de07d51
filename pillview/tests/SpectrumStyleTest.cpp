// The spectrum: its hues, their wrap, its step duration, and its end.
#include "PillViewTest.h"

namespace pillview::testing {
namespace {

using PillViewSpectrum = PillViewTest;

TEST_F(PillViewSpectrum, WalksEveryHueOnceAndWrapsAfter360) {
  auto view = makeView();
  view->specturmView();
  EXPECT_TRUE(observer.animations.empty());  // queued, not run

  runFor(36.1);  // a turn at the default 0.1 s per step, then the first step of the next
  const auto painted = observer.backgrounds(*view);
  ASSERT_EQ(painted.size(), 2u + 362u);  // after the two of construction
  for (std::size_t step = 0; step < 362; ++step) {
    const RGBA& color = painted[2 + step];
    EXPECT_TRUE(nearlyEqual(color, hue(static_cast<double>(step % 361)))) << step;  // alpha exactly 1
    EXPECT_EQ(observer.animations[step].at, at(0.1 * static_cast<double>(step))) << step;
  }
  EXPECT_EQ(view->currentHueNum(), 0u);
}

TEST_F(PillViewSpectrum, SpeedIsReadAtEachStep) {
  settings::specturmSpeed = 1.0;
  auto view = makeView();
  view->specturmView();
  runFor(0.5);
  settings::specturmSpeed = 2.0;
  runFor(3.0);
  ASSERT_EQ(observer.animations.size(), 3u);
  EXPECT_EQ(observer.animations[0].seconds, 1.0);
  EXPECT_EQ(observer.animations[1].at, at(1.0));
  EXPECT_EQ(observer.animations[1].seconds, 2.0);
  EXPECT_EQ(view->currentHueNum(), 2u);
}

TEST_F(PillViewSpectrum, UnfinishedAnimationStillAdvances) {
  auto view = makeView();
  observer.interruptAnimationsOf(*view);
  view->specturmView();
  runFor(0.2);
  EXPECT_EQ(observer.completions, (std::vector<bool>{false, false}));
  EXPECT_EQ(view->currentHueNum(), 2u);
}

TEST_F(PillViewSpectrum, DestroyedViewEndsTheChain) {
  for (double destroyAfter : {-1.0, 0.05}) {  // while queued, while animating
    startOver();
    auto view = makeView();
    const std::size_t paintedBefore = observer.setsOn(*view);
    const std::uint64_t serial = view->serial();
    view->specturmView();
    if (destroyAfter >= 0) runFor(destroyAfter);
    view.reset();
    runFor(1.0);
    EXPECT_EQ(observer.animations.size(), 1u);
    EXPECT_EQ(static_cast<std::size_t>(std::count_if(observer.sets.begin(), observer.sets.end(),
                                                     [&](const auto& set) { return set.view == serial; })),
              paintedBefore + (destroyAfter >= 0 ? 1 : 0));
  }
}

TEST_F(PillViewSpectrum, BadDurationsNeitherHangNorSpin) {
  for (double seconds : {0.0, -1.0, kNaN, kInfinity, 1e300}) expectNoSpin("specturmView", settings::specturmSpeed, seconds);
}

}  // namespace
}  // namespace pillview::testing
