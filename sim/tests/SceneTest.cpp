// The host's pill classes and the scene that holds the window and the pills.
#include "Scene.h"

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "UIKit/NSLayoutConstraint.h"

namespace sim {
namespace {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
};

struct RecordingNaming : PillNaming {
  void willMakePill(Class cls, std::string_view name) override { calls.push_back(std::string("will ") + class_getName(cls) + " " + std::string(name)); }
  void didMakePill() override { calls.push_back("did"); }
  std::vector<std::string> calls;
};

TEST_F(SceneTest, MakesTheWindowAndTheDefaultPills) {
  Scene scene;
  EXPECT_EQ(scene.window().frame(), CGRectMake(0, 0, 390, 844));
  scene.addDefaultPills();
  ASSERT_EQ(scene.window().subviews().size(), 2u);
  EXPECT_STREQ(object_getClassName(&scene.pill("static")), "MTStaticColorPillView");
  EXPECT_EQ(scene.pill("static").frame(), CGRectMake(40, 831, 134, 5));
  EXPECT_STREQ(object_getClassName(&scene.pill("luma")), "MTLumaDodgePillView");
  EXPECT_EQ(scene.pill("luma").frame(), CGRectMake(216, 831, 134, 5));
  EXPECT_TRUE(scene.pill("static").subviews().empty());  // the host's pills make no subviews
  EXPECT_THROW(scene.pill("other"), std::out_of_range);
}

TEST_F(SceneTest, HostPillsLookLikeLightRoundPills) {
  Scene scene;
  scene.addDefaultPills();
  UIView& pill = scene.pill("static");
  const RGBA grey = pill.layer()->presentationBackgroundColor();
  EXPECT_GT(grey.red, 0.8);
  EXPECT_EQ(grey.red, grey.green);
  EXPECT_EQ(grey.alpha, 1.0);
  NSRunLoop::mainRunLoop().runFor(aurora::Nanoseconds{0});  // the first layout pass
  EXPECT_EQ(pill.layer()->cornerRadius(), 2.5);
  pill.setFrame(CGRectMake(0, 0, 100, 9));
  pill.layoutIfNeeded();
  EXPECT_EQ(pill.layer()->cornerRadius(), 4.5);
}

TEST_F(SceneTest, HostLayoutRunsTheBaseLayoutToo) {
  Scene scene;
  scene.addDefaultPills();
  UIView& pill = scene.pill("luma");
  auto inner = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 1, 1));
  pill.addSubview(inner);
  pill.addConstraints(NSLayoutConstraint::constraintsWithVisualFormat("H:|-0-[inner]-0-|", 0, nullptr,
                                                                      _NSDictionaryOfVariableBindings("inner", {inner.get()})));
  pill.layoutIfNeeded();
  EXPECT_EQ(inner->frame().size.width, 134);  // the constraints of the base layoutSubviews held
}

TEST_F(SceneTest, TellsTheNamingAboutEachPillAndRemovesPills) {
  Scene scene;
  RecordingNaming naming;
  scene.setPillNaming(&naming);
  scene.addPill("p", objc_getClass("MTLumaDodgePillView"), CGRectMake(1, 2, 3, 4));
  EXPECT_EQ(naming.calls, (std::vector<std::string>{"will MTLumaDodgePillView p", "did"}));
  std::weak_ptr<UIView> pill = std::static_pointer_cast<UIView>(scene.pill("p").shared_from_this());
  scene.removePill("p");
  EXPECT_TRUE(scene.window().subviews().empty());
  EXPECT_TRUE(pill.expired());  // nothing else held it
  EXPECT_THROW(scene.removePill("p"), std::out_of_range);
}

TEST_F(SceneTest, EndsTheNamingEvenWhenMakingFails) {
  Scene scene;
  RecordingNaming naming;
  scene.setPillNaming(&naming);
  EXPECT_THROW(scene.addPill("x", CALayer::objcClass(), CGRectMake(0, 0, 1, 1)), std::invalid_argument);
  EXPECT_EQ(naming.calls.back(), "did");
}

}  // namespace
}  // namespace sim
