// Construction: the runtime class, the palette, the first colour by style, the
// gradient axis, and that nothing is started.
#include "PillViewTest.h"
#include "substrate.h"

namespace pillview::testing {
namespace {

using PillViewConstruction = PillViewTest;
using aurora::ViewProperty;

constexpr RGBA kRed{1, 0, 0, 1};
constexpr RGBA kFirst{0.1, 0.2, 0.3, 1};
constexpr RGBA kBreathing{0.4, 0.5, 0.6, 0.7};
constexpr RGBA kStatic{0.7, 0.8, 0.9, 1};

void useDistinctColors() {
  settings::firstColor = std::make_shared<const UIColor>(kFirst);
  settings::breathingColor = std::make_shared<const UIColor>(kBreathing);
  settings::staticColor = std::make_shared<const UIColor>(kStatic);
}

TEST_F(PillViewConstruction, RuntimeClassIsAViewWithAGradientLayerAndItsMethods) {
  Class cls = ColorPillView::objcClass();
  EXPECT_EQ(objc_getClass("ColorPillView"), cls);
  EXPECT_EQ(class_getSuperclass(cls), UIView::objcClass());
  EXPECT_EQ(objc_msgSendClass<Class>(cls, sel_registerName("layerClass")), CAGradientLayer::objcClass());
  for (const char* selector : {"initWithFrame:", "animateView", "staticView", "specturmView", "waveView",
                               "animationDidStop:finished:", "breathingView", "fadeView", "colorNum", "setColorNum:",
                               "currentHueNum", "setCurrentHueNum:"}) {
    EXPECT_TRUE(class_respondsToSelector(cls, sel_registerName(selector))) << selector;
  }

  // Made by class, as a pill hook would: its own type, frame and layer class.
  std::shared_ptr<UIView> made = UIView::make(objc_getClass("ColorPillView"), CGRectMake(1, 2, 30, 4));
  auto* view = objc_cast<ColorPillView>(made.get());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->frame(), CGRectMake(1, 2, 30, 4));
  EXPECT_NE(objc_cast<CAGradientLayer>(view->layer()), nullptr);

  objc_msgSend<void>(view, sel_registerName("setColorNum:"), NSUInteger{7});
  objc_msgSend<void>(view, sel_registerName("setCurrentHueNum:"), NSUInteger{400});
  EXPECT_EQ(view->colorNum(), 7u);
  EXPECT_EQ(objc_msgSend<NSUInteger>(view, sel_registerName("currentHueNum")), 400u);
}

TEST_F(PillViewConstruction, PaletteHolds361HuesWithRedAtBothEnds) {
  auto view = makeView();
  auto palette = view->colors();
  ASSERT_EQ(palette->count(), 361u);
  for (std::size_t i = 0; i <= 360; ++i) EXPECT_EQ(palette->objectAtIndex(i)->components(), hue(static_cast<double>(i))) << i;
  EXPECT_EQ(palette->objectAtIndex(0)->components(), kRed);
  EXPECT_EQ(palette->objectAtIndex(360)->components(), kRed);
  EXPECT_TRUE(view->gradientLayer()->colors().empty());  // the layer's own list is the wave's to set
}

TEST_F(PillViewConstruction, FirstBackgroundFollowsTheStyleAfterTheStaticColour) {
  useDistinctColors();
  struct Case {
    const char* style;
    std::vector<RGBA> backgrounds;  // in the order they were set
  };
  const Case cases[] = {
      {"Wave", {kStatic, kRed}},          {"Spectrum", {kStatic, kRed}},  {"Fade", {kStatic, kFirst}},
      {"Breathing", {kStatic, kBreathing}}, {"Static", {kStatic, kStatic}}, {"wave", {kStatic}},
      {"", {kStatic}},                    {"Rainbow", {kStatic}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    settings::style = c.style;
    auto view = makeView();
    EXPECT_EQ(observer.backgrounds(*view), c.backgrounds);
    EXPECT_EQ(view->layer()->presentationBackgroundColor(), c.backgrounds.back());
  }
}

TEST_F(PillViewConstruction, GradientRunsAcrossAtHalfHeightWhateverTheFrameAndStyle) {
  for (const char* style : {"Wave", "Static", "none"}) {
    settings::style = style;
    for (CGRect frame : {CGRectMake(0, 0, 134, 5), CGRectMake(-3, 7, 0, 0), CGRectMake(10, 10, 390, 844)}) {
      auto view = makeView(frame);
      EXPECT_EQ(view->gradientLayer()->startPoint(), CGPointMake(0.0, 0.5));
      EXPECT_EQ(view->gradientLayer()->endPoint(), CGPointMake(1.0, 0.5));
      // Start point before end point, both after the backgrounds.
      const auto& log = observer.log;
      EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
                (std::vector<std::string>{"layer.startPoint", "layer.endPoint"}));
    }
  }
}

TEST_F(PillViewConstruction, StartsFromZeroAndStartsNothing) {
  auto view = makeView();
  EXPECT_EQ(view->colorNum(), 0u);
  EXPECT_EQ(view->currentHueNum(), 0u);
  EXPECT_EQ(view->timer(), nullptr);

  const std::size_t setsAfterConstruction = observer.setsOn(*view);
  runFor(60.0);
  EXPECT_EQ(observer.setsOn(*view), setsAfterConstruction);
  EXPECT_TRUE(observer.animations.empty());
  EXPECT_TRUE(observer.timersCreated.empty());
  EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 0u);
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), kRed);
}

id (*savedViewInit)(id, SEL, CGRect) = nullptr;
id refuseToInitialise(id, SEL, CGRect) { return nullptr; }

TEST_F(PillViewConstruction, NothingFromTheBaseInitialiserGivesNoView) {
  const SEL initWithFrame = sel_registerName("initWithFrame:");
  MSHookMessageEx(UIView::objcClass(), initWithFrame, &refuseToInitialise, &savedViewInit);
  struct Unhook {
    SEL sel;
    ~Unhook() { MSHookMessageEx(UIView::objcClass(), sel, savedViewInit, static_cast<id (**)(id, SEL, CGRect)>(nullptr)); }
  } unhook{initWithFrame};

  EXPECT_EQ(makeView(), nullptr);
  EXPECT_TRUE(observer.sets.empty());  // construction stopped before its first colour
}

}  // namespace
}  // namespace pillview::testing
