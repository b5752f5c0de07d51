// The breathing and fade styles: their targets, their durations and bad ones.
#include "PillViewTest.h"

namespace pillview::testing {
namespace {

using PillViewBreathingAndFade = PillViewTest;

constexpr RGBA kFirst{0.1, 0.2, 0.3, 1};
constexpr RGBA kSecond{0.9, 0.8, 0.7, 1};
constexpr RGBA kBreathing{0.2, 0.6, 0.4, 0.8};

UIColorRef color(const RGBA& components) { return std::make_shared<const UIColor>(components); }

TEST_F(PillViewBreathingAndFade, FadeGoesToSecondThenFirstEveryFadeSpeed) {
  settings::firstColor = color(kFirst);
  settings::secondColor = color(kSecond);
  settings::fadeSpeed = 2.0;
  auto view = makeView();
  view->fadeView();
  runFor(4.0);
  const auto painted = observer.backgrounds(*view);
  EXPECT_EQ(std::vector<RGBA>(painted.begin() + 2, painted.end()),  // after the two of construction
            (std::vector<RGBA>{kSecond, kFirst, kSecond}));
  ASSERT_EQ(observer.animations.size(), 3u);
  EXPECT_EQ(observer.animations[2].at, at(4.0));
  EXPECT_EQ(observer.animations[2].seconds, 2.0);
  EXPECT_EQ(view->colorNum(), 1u);
}

TEST_F(PillViewBreathingAndFade, BreathingFadesOutAndBackWithoutChangingHue) {
  settings::breathingColor = color(kBreathing);
  settings::breathingSpeed = 3.0;
  auto view = makeView();
  view->breathingView();
  runFor(6.0);
  const RGBA transparent{kBreathing.red, kBreathing.green, kBreathing.blue, 0.0};
  const auto painted = observer.backgrounds(*view);
  EXPECT_EQ(std::vector<RGBA>(painted.begin() + 2, painted.end()),  // after the two of construction
            (std::vector<RGBA>{transparent, kBreathing, transparent}));
  EXPECT_EQ(observer.animations.back().at, at(6.0));
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), kBreathing);  // back in, before the next step moves
}

TEST_F(PillViewBreathingAndFade, DurationIsReadWhenTheQueuedStepRuns) {
  for (auto [style, speed] : {std::pair{"fadeView", &settings::fadeSpeed}, std::pair{"breathingView", &settings::breathingSpeed}}) {
    SCOPED_TRACE(style);
    startOver();
    auto view = makeView();
    send(*view, style);
    *speed = 4.0;  // after the pick, before the queued step
    runNow();
    *speed = 1.0;  // the running animation keeps its 4 s
    runFor(5.0);
    ASSERT_EQ(observer.animations.size(), 3u);
    EXPECT_EQ(observer.animations[0].seconds, 4.0);
    EXPECT_EQ(observer.animations[1].at, at(4.0));
    EXPECT_EQ(observer.animations[1].seconds, 1.0);
    EXPECT_EQ(observer.animations[2].at, at(5.0));
  }
}

TEST_F(PillViewBreathingAndFade, BadDurationsNeitherHangNorSpin) {
  for (double seconds : {0.0, -1.0, kNaN, kInfinity, 1e300}) {
    expectNoSpin("fadeView", settings::fadeSpeed, seconds);
    expectNoSpin("breathingView", settings::breathingSpeed, seconds);
  }
}

}  // namespace
}  // namespace pillview::testing
