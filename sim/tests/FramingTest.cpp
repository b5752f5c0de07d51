// Which part of the window a picture shows: the pills band, files, terminals.
#include "Framing.h"

#include <gtest/gtest.h>

#include "Scene.h"
#include "SimTestSupport.h"

namespace sim {
namespace {

class FramingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
  Scene scene_;
};

TEST_F(FramingTest, ViewKindsByName) {
  EXPECT_EQ(viewKindNamed("full"), ViewKind::Full);
  EXPECT_EQ(viewKindNamed("pills"), ViewKind::Pills);
  EXPECT_EQ(viewKindNamed("Pills"), std::nullopt);
}

TEST_F(FramingTest, ThePillsBandRunsFromAboveTheirLabelsToJustBelowThem) {
  EXPECT_EQ(pillsBand(scene_.window()), CGRectMake(0, 796, 390, 48));  // no pills: the home indicator's place
  scene_.addDefaultPills();
  EXPECT_EQ(pillsBand(scene_.window()), CGRectMake(0, 799, 390, 45));  // 831 - 32 .. 844, the window's edge
  scene_.addPill("high", objc_getClass("MTStaticColorPillView"), CGRectMake(10, 400, 50, 5));
  EXPECT_EQ(pillsBand(scene_.window()), CGRectMake(0, 368, 390, 476));
}

TEST_F(FramingTest, FilePicturesTakeTheirSizeFromTheRegionAndTheScale) {
  scene_.addDefaultPills();
  const RenderOptions full = framePicture(scene_.window(), {ViewKind::Full, 3});
  EXPECT_EQ(full.region, CGRectMake(0, 0, 390, 844));
  EXPECT_EQ(std::pair(full.width, full.height), std::pair(1170, 2532));
  EXPECT_TRUE(full.labels);
  const RenderOptions pills = framePicture(scene_.window(), {ViewKind::Pills, 1.5});
  EXPECT_EQ(std::pair(pills.width, pills.height), std::pair(585, 68));
  EXPECT_EQ(pills.scaleX, 1.5);
  EXPECT_EQ(pills.scaleY, 1.5);
}

TEST_F(FramingTest, ATerminalStretchesThePillsToTwoRowsAndKeepsThemInView) {
  scene_.addDefaultPills();
  const RenderOptions options = frameTerminal(scene_.window(), ViewKind::Pills, 78, 46);
  EXPECT_EQ(options.scaleX, 0.2);
  EXPECT_DOUBLE_EQ(options.scaleY, 0.8);  // a 5-point pill stands 4 pixels tall
  EXPECT_FALSE(options.labels);
  EXPECT_DOUBLE_EQ(options.region.origin.y + options.region.size.height, 844);  // down to the window's edge
  const CGPoint pillTop = toPixels(options, {40, 831});
  EXPECT_DOUBLE_EQ(pillTop.x, 8);
  EXPECT_GT(pillTop.y, 20);
  EXPECT_LT(pillTop.y + 4, 46);

  const RenderOptions wide = frameTerminal(scene_.window(), ViewKind::Pills, 1560, 46);
  EXPECT_EQ(wide.scaleX, 4);
  EXPECT_EQ(wide.scaleY, 4);  // wide enough: no stretch
}

TEST_F(FramingTest, AFullTerminalViewKeepsTheWindowInProportionAndCentred) {
  const RenderOptions options = frameTerminal(scene_.window(), ViewKind::Full, 200, 422);
  EXPECT_DOUBLE_EQ(options.scaleX, 0.5);
  EXPECT_DOUBLE_EQ(options.scaleY, 0.5);
  EXPECT_DOUBLE_EQ(options.region.origin.x, -5);  // 400 points across: 5 on each side beyond the window
  EXPECT_DOUBLE_EQ(options.region.origin.y, 0);
}

}  // namespace
}  // namespace sim
