// Block animations: model and presentation values, easing, completions, and
// the durations that must not spin.
#include <cmath>
#include <limits>

#include "../src/AnimationEngine.h"
#include "PlatformTestSupport.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"

namespace {

using namespace aurora::testing;
using aurora::AnimationEngine;
using aurora::Nanoseconds;

const RGBA kRed{1, 0, 0, 1};
const RGBA kBlue{0, 0, 1, 1};
const RGBA kGreen{0, 1, 0, 1};

void expectNear(const RGBA& a, const RGBA& b) {
  EXPECT_NEAR(a.red, b.red, 1e-9);
  EXPECT_NEAR(a.green, b.green, 1e-9);
  EXPECT_NEAR(a.blue, b.blue, 1e-9);
  EXPECT_NEAR(a.alpha, b.alpha, 1e-9);
}

class AnimationTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
    view->layer()->setBackgroundColor(CGColorCreate(kRed));
  }
  // Animates the view's layer to `to` and records each completion.
  void animateTo(const RGBA& to, double seconds) {
    CALayer* layer = view->layer();
    UIView::animateWithDuration(
        seconds, [layer, to] { layer->setBackgroundColor(CGColorCreate(to)); },
        [this](bool finished) { completions.push_back({loop().now(), finished}); });
  }
  RGBA shown() const { return view->layer()->presentationBackgroundColor(); }

  std::shared_ptr<UIView> view;
  std::vector<std::pair<Nanoseconds, bool>> completions;
};

TEST_F(AnimationTest, ModelChangesAtOncePresentationEasesFromTheCurrentValue) {
  animateTo(kBlue, 1.0);
  EXPECT_EQ(view->layer()->backgroundColor()->components(), kBlue);
  EXPECT_EQ(shown(), kRed);
  loop().runFor(250ms);
  const double eased = AnimationEngine::easeInOut(0.25);
  EXPECT_NEAR(eased, 0.1291, 1e-3);  // the ease-in-out curve starts slowly
  EXPECT_EQ(shown(), mix(kRed, kBlue, eased));
  loop().runFor(250ms);
  expectNear(shown(), mix(kRed, kBlue, 0.5));
  loop().runFor(500ms);
  EXPECT_EQ(shown(), kBlue);
}

TEST_F(AnimationTest, EasingIsSymmetricAndMonotonic) {
  double previous = 0;
  for (int i = 0; i <= 100; ++i) {
    const double p = i / 100.0;
    const double y = AnimationEngine::easeInOut(p);
    EXPECT_GE(y, previous);
    EXPECT_NEAR(y + AnimationEngine::easeInOut(1 - p), 1.0, 1e-9);
    previous = y;
  }
}

TEST_F(AnimationTest, CompletionRunsOnceOnTheMainThreadAtTheEndNeverInsideTheCall) {
  int runs = 0;
  UIView::animateWithDuration(2.0, nullptr, [&](bool finished) {
    ++runs;
    EXPECT_TRUE(finished);
    EXPECT_TRUE(aurora::isMainThread());
    EXPECT_EQ(loop().now(), 2s);
  });
  EXPECT_EQ(runs, 0);
  loop().runFor(10s);
  EXPECT_EQ(runs, 1);
}

TEST_F(AnimationTest, ZeroOrNegativeDurationsShowAtOnceAndCompleteAFrameLater) {
  animateTo(kBlue, 0.0);
  EXPECT_EQ(shown(), kBlue);
  animateTo(kGreen, -3.0);
  EXPECT_EQ(shown(), kGreen);
  loop().runFor(10s);
  EXPECT_EQ(completions, (std::vector<std::pair<Nanoseconds, bool>>{{aurora::kDisplayFrame, true},
                                                                    {aurora::kDisplayFrame, true}}));
}

TEST_F(AnimationTest, AChainOfZeroDurationStepsAdvancesVirtualTime) {
  int steps = 0;
  std::function<void()> step = [&] {
    UIView::animateWithDuration(0.0, nullptr, [&](bool) {
      ++steps;
      step();
    });
  };
  step();
  loop().runFor(1s);
  EXPECT_EQ(steps, 59);  // one per display frame: 59 whole frames fit in a second
  EXPECT_EQ(loop().now(), 1s);
}

TEST_F(AnimationTest, NanDurationIsATenthOfAMillisecondAndInfinityNeverEnds) {
  animateTo(kBlue, std::numeric_limits<double>::quiet_NaN());
  loop().runFor(1ms);
  EXPECT_EQ(shown(), kBlue);
  animateTo(kGreen, std::numeric_limits<double>::infinity());
  loop().runFor(100000s);
  EXPECT_EQ(shown(), kBlue);  // an endless change never leaves where it started
  EXPECT_EQ(view->layer()->backgroundColor()->components(), kGreen);
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].first, aurora::kDisplayFrame);
}

TEST_F(AnimationTest, NewerAnimationTakesOverTheEarlierStillCompletesAtItsOwnTime) {
  animateTo(kBlue, 1.0);
  loop().runFor(500ms);
  const RGBA halfway = shown();
  animateTo(kGreen, 1.0);
  EXPECT_EQ(shown(), halfway);
  loop().runFor(500ms);
  expectNear(shown(), mix(halfway, kGreen, 0.5));
  loop().runFor(1s);
  EXPECT_EQ(shown(), kGreen);
  EXPECT_EQ(completions, (std::vector<std::pair<Nanoseconds, bool>>{{1s, true}, {1500ms, true}}));
}

TEST_F(AnimationTest, DestroyedLayerEndsAtItsTimeWithFinishedFalse) {
  animateTo(kBlue, 1.0);
  std::weak_ptr<UIView> watch = view;
  view.reset();
  ASSERT_TRUE(watch.expired());
  loop().runFor(2s);
  EXPECT_EQ(completions, (std::vector<std::pair<Nanoseconds, bool>>{{1s, false}}));
}

TEST_F(AnimationTest, AnEndlessAnimationGoesWithItsLayerAndReleasesItsCompletion) {
  auto captured = std::make_shared<int>(0);
  std::weak_ptr<int> watch = captured;
  CALayer* layer = view->layer();
  UIView::animateWithDuration(
      std::numeric_limits<double>::infinity(), [layer] { layer->setBackgroundColor(CGColorCreate(kBlue)); },
      [captured = std::move(captured)](bool) { ++*captured; });
  AnimationEngine& engine = loop().animations();
  loop().runFor(1s);
  EXPECT_EQ(engine.activeCount(), 1u);  // endless while its layer lives
  view.reset();
  loop().runFor(0s);
  EXPECT_EQ(engine.activeCount(), 0u);
  EXPECT_TRUE(watch.expired());  // released, never run
}

TEST_F(AnimationTest, AnEndlessAnimationThatChangedNoLayerStays) {
  UIView::animateWithDuration(std::numeric_limits<double>::infinity(), [] {});
  view.reset();
  loop().runFor(1s);
  EXPECT_EQ(loop().animations().activeCount(), 1u);
}

TEST_F(AnimationTest, CompletionHoldingADeadViewWeaklyDoesNothingHarmful) {
  std::weak_ptr<UIView> weak = view;
  UIView::animateWithDuration(
      1.0, [weak] { if (auto v = weak.lock()) v->setBackgroundColor(UIColor::blueColor()); },
      [weak](bool) { if (auto v = weak.lock()) v->setBackgroundColor(UIColor::redColor()); });
  view.reset();
  loop().runFor(2s);
  EXPECT_TRUE(weak.expired());
}

TEST_F(AnimationTest, ViewBackgroundAnimatesInsideABlockAndIsReportedOnceWithItsAnimation) {
  RecordingObserver observer;
  auto target = view;
  UIView::animateWithDuration(1.0, [target] { target->setBackgroundColor(UIColor::blueColor()); });
  view->setBackgroundColor(UIColor::redColor());
  EXPECT_EQ(observer.events, (std::vector<std::string>{"animate 1", "set backgroundColor anim", "set backgroundColor"}));
  EXPECT_EQ(shown(), kRed);  // the change outside the block shows at once
  loop().runFor(2s);
  EXPECT_EQ(observer.events.back(), "complete 1 1");
}

TEST_F(AnimationTest, OnlyTheBackgroundAnimates) {
  CALayer* layer = view->layer();
  UIView::animateWithDuration(1.0, [layer] { layer->setCornerRadius(4); });
  EXPECT_EQ(layer->cornerRadius(), 4);
  EXPECT_EQ(shown(), kRed);
}

}  // namespace
