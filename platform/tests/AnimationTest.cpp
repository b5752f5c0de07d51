// Block animations: the model at once, the presentation eased; durations that must not spin.
#include "../src/AnimationEngine.h"
#include "PlatformTestSupport.h"
#include "UIKit/UIView.h"
#include "aurora/MainThread.h"

namespace {

using namespace aurora::testing;
using aurora::AnimationEngine;
using aurora::Nanoseconds;

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
        [this](bool finished) {
          completions.push_back({loop().now(), finished && aurora::isMainThread()});
        });
  }
  RGBA shown() const { return view->layer()->presentationBackgroundColor(); }
  void expectShown(const RGBA& want) {
    for (double RGBA::*c : {&RGBA::red, &RGBA::green, &RGBA::blue, &RGBA::alpha})
      EXPECT_NEAR(shown().*c, want.*c, 1e-9);
  }

  std::shared_ptr<UIView> view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  using Completions = std::vector<std::pair<Nanoseconds, bool>>;
  Completions completions;
};

// A newer animation takes over from where the presentation is; the earlier still completes.
TEST_F(AnimationTest, ModelChangesAtOnceAndThePresentationEasesFromWhereItIs) {
  animateTo(kBlue, 1.0);
  EXPECT_EQ(view->layer()->backgroundColor()->components(), kBlue);
  EXPECT_EQ(shown(), kRed);
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

// Zero, negative and NaN ones show at once and complete a frame later (chains: the pill view tests).
TEST_F(AnimationTest, DegenerateDurationsCompleteAFrameLaterOrNever) {
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
  EXPECT_EQ(shown(), kBlue);
  EXPECT_EQ(view->layer()->backgroundColor()->components(), kGreen);
  const std::pair<Nanoseconds, bool> frame{aurora::kDisplayFrame, true};
  EXPECT_EQ(completions, (Completions{frame, frame, frame}));
}

// At their time; an endless one goes with its layer, its completion unrun, unless it changed none.
TEST_F(AnimationTest, ADestroyedLayersAnimationsEndUnfinished) {
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
  EXPECT_EQ(engine.activeCount(), 2u);
  EXPECT_TRUE(watchCompletion.expired());
  loop().runFor(2s);
  EXPECT_EQ(completions, (Completions{{1s, false}}));
  EXPECT_EQ(engine.activeCount(), 1u);
}

// Other properties change at once, as does a change outside the block; each is reported once.
TEST_F(AnimationTest, OnlyTheBackgroundAnimates) {
  RecordingObserver observer;
  auto target = view;
  CALayer* layer = view->layer();
  UIView::animateWithDuration(1.0, [layer] { layer->setCornerRadius(4); });
  EXPECT_EQ(layer->cornerRadius(), 4);
  EXPECT_EQ(shown(), kRed);
  UIView::animateWithDuration(1.0, [target] { target->setBackgroundColor(UIColor::blueColor()); });
  view->setBackgroundColor(UIColor::redColor());
  EXPECT_EQ(shown(), kRed);  // the change outside the block shows at once
  loop().runFor(2s);
  const std::string one = observer.events.at(0).substr(8),
                    two = std::to_string(std::stoi(one) + 1);  // serials count up
  EXPECT_EQ(observer.events,
            (Log{"animate " + one, "set layer.cornerRadius", "animate " + two, "set backgroundColor anim",
                 "set backgroundColor", "complete " + one + " 1", "complete " + two + " 1"}));
}

}  // namespace
