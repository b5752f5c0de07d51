// The two-colour cycles (animateView, and the rules it shares with fadeView and
// breathingView), the static style and the animation-delegate entry.
#include "PillViewTest.h"

namespace pillview::testing {
namespace {

using PillViewCycleAndStatic = PillViewTest;

constexpr RGBA kFirst{0.1, 0.2, 0.3, 1};
constexpr RGBA kSecond{0.9, 0.8, 0.7, 1};

UIColorRef color(const RGBA& components) { return std::make_shared<const UIColor>(components); }

bool sameHue(const RGBA& a, const RGBA& b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

// Every colour setting made `components`, and every cycle one second per step.
void useColorForAllCycles(const RGBA& components) {
  settings::firstColor = settings::secondColor = settings::breathingColor = color(components);
}

constexpr const char* kCycles[] = {"animateView", "fadeView", "breathingView"};

TEST_F(PillViewCycleAndStatic, AnimateViewGoesToSecondThenFirstOneSecondEach) {
  settings::firstColor = color(kFirst);
  settings::secondColor = color(kSecond);
  settings::fadeSpeed = 5.0;  // not animateView's
  auto view = makeView();
  view->animateView();
  EXPECT_EQ(view->colorNum(), 1u);
  EXPECT_EQ(observer.animations.size(), 0u);  // the step is queued, not run

  runNow();
  for (int step = 0; step < 4; ++step) {
    SCOPED_TRACE(step);
    ASSERT_EQ(observer.animations.size(), static_cast<std::size_t>(step + 1));
    EXPECT_EQ(observer.animations.back().at, at(step));
    EXPECT_EQ(observer.animations.back().seconds, 1.0);
    EXPECT_EQ(observer.backgrounds(*view).back(), step % 2 == 0 ? kSecond : kFirst);
    EXPECT_EQ(view->colorNum(), step % 2 == 0 ? 1u : 0u);
    runFor(1.0);
  }
}

TEST_F(PillViewCycleAndStatic, FirstStepFollowsTheStartingIndex) {
  settings::firstColor = color(kFirst);
  settings::secondColor = color(kSecond);
  for (const auto& [start, target, index] : {std::tuple{NSUInteger{2}, kSecond, 1u}, std::tuple{NSUInteger{7}, kFirst, 0u},
                                             std::tuple{~NSUInteger{0}, kFirst, 0u}}) {
    auto view = makeView();
    view->setColorNum(start);
    view->animateView();
    EXPECT_EQ(view->colorNum(), index) << start;
    runNow();
    EXPECT_EQ(observer.backgrounds(*view).back(), target) << start;
  }
}

TEST_F(PillViewCycleAndStatic, ColourIsFixedWhenTheStepIsPicked) {
  settings::fadeSpeed = settings::breathingSpeed = 1.0;
  for (const char* cycle : kCycles) {
    SCOPED_TRACE(cycle);
    useColorForAllCycles(kFirst);
    auto view = makeView();
    send(*view, cycle);
    useColorForAllCycles(kSecond);  // after the pick, before the step runs
    runNow();
    runFor(1.0);
    const auto painted = observer.backgrounds(*view);
    ASSERT_GE(painted.size(), 3u);
    EXPECT_TRUE(sameHue(painted[painted.size() - 2], kFirst));
    EXPECT_TRUE(sameHue(painted.back(), kSecond));
  }
}

TEST_F(PillViewCycleAndStatic, DestroyedViewEndsTheChainWithNothingPainted) {
  settings::fadeSpeed = settings::breathingSpeed = 1.0;
  for (const char* cycle : kCycles) {
    SCOPED_TRACE(cycle);
    for (double destroyAfter : {-1.0, 0.5}) {  // while queued, while animating
      auto view = makeView();
      const std::uint64_t serial = view->serial();
      const std::size_t constructionSets = observer.setsOn(*view);
      const std::size_t animations = observer.animations.size();
      send(*view, cycle);
      if (destroyAfter >= 0) runFor(destroyAfter);
      view.reset();
      runFor(5.0);
      const auto paintedOnIt = std::count_if(observer.sets.begin(), observer.sets.end(),
                                             [&](const auto& set) { return set.view == serial; });
      EXPECT_EQ(static_cast<std::size_t>(paintedOnIt), constructionSets + (destroyAfter >= 0 ? 1 : 0));
      EXPECT_EQ(observer.animations.size(), animations + 1);  // the queued task still animates nothing
    }
  }
}

TEST_F(PillViewCycleAndStatic, UnfinishedAnimationStillStartsTheNextStep) {
  settings::fadeSpeed = settings::breathingSpeed = 1.0;
  for (const char* cycle : kCycles) {
    SCOPED_TRACE(cycle);
    startOver();
    auto view = makeView();
    observer.interruptAnimationsOf(*view);
    send(*view, cycle);
    runFor(2.0);
    EXPECT_EQ(observer.completions, (std::vector<bool>{false, false}));
    EXPECT_EQ(observer.animations.size(), 3u);
  }
}

TEST_F(PillViewCycleAndStatic, StaticViewPaintsAtOnceWithTheColourOfThatMoment) {
  auto view = makeView();
  settings::staticColor = color(kFirst);
  view->staticView();
  EXPECT_EQ(view->layer()->backgroundColor()->components(), kFirst);
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), kFirst);
  EXPECT_EQ(observer.sets.back().animation, 0u);

  settings::staticColor = color(kSecond);
  runFor(10.0);
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), kFirst);
  EXPECT_TRUE(observer.animations.empty());
  EXPECT_TRUE(observer.timersCreated.empty());
  view->staticView();
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), kSecond);
}

TEST_F(PillViewCycleAndStatic, AnimationDidStopStartsTheWaveWithEitherFlag) {
  auto view = makeView();
  const SEL didStop = sel_registerName("animationDidStop:finished:");
  objc_msgSend<void>(view.get(), didStop, static_cast<id>(nullptr), false);
  EXPECT_NE(view->timer(), nullptr);
  runNow();
  EXPECT_EQ(view->gradientLayer()->colors().size(), 60u);

  objc_msgSend<void>(view.get(), didStop, static_cast<id>(view->layer()), true);
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 2u);
}

}  // namespace
}  // namespace pillview::testing
