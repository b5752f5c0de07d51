// Colours: HSB conversion, presets, alpha replacement, graphics forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "UIKit/UIColor.h"

namespace {

void expectRGBA(const RGBA& c, double r, double g, double b, double a) {
  EXPECT_DOUBLE_EQ(c.red, r);
  EXPECT_DOUBLE_EQ(c.green, g);
  EXPECT_DOUBLE_EQ(c.blue, b);
  EXPECT_DOUBLE_EQ(c.alpha, a);
}

TEST(ColorTest, HueSectorsFollowTheHsvFormula) {
  expectRGBA(UIColor::colorWithHue(0, 1, 1, 1)->components(), 1, 0, 0, 1);
  expectRGBA(UIColor::colorWithHue(1.0 / 6, 1, 1, 1)->components(), 1, 1, 0, 1);
  expectRGBA(UIColor::colorWithHue(2.0 / 6, 1, 1, 1)->components(), 0, 1, 0, 1);
  expectRGBA(UIColor::colorWithHue(0.5, 1, 1, 1)->components(), 0, 1, 1, 1);
  expectRGBA(UIColor::colorWithHue(4.0 / 6, 1, 1, 1)->components(), 0, 0, 1, 1);
  expectRGBA(UIColor::colorWithHue(5.0 / 6, 1, 1, 1)->components(), 1, 0, 1, 1);
  expectRGBA(UIColor::colorWithHue(1.0 / 12, 1, 1, 1)->components(), 1, 0.5, 0, 1);
  expectRGBA(UIColor::colorWithHue(0.25, 0.5, 0.8, 0.3)->components(), 0.6, 0.8, 0.4, 0.3);
}

TEST(ColorTest, HueOneIsRedAndOutOfRangeHuesWrap) {
  EXPECT_EQ(UIColor::colorWithHue(1.0, 1, 1, 1)->components(), UIColor::colorWithHue(0.0, 1, 1, 1)->components());
  EXPECT_EQ(UIColor::colorWithHue(360.0 / 360, 1, 1, 1)->components(), (RGBA{1, 0, 0, 1}));
  // Just below 1.0 the sextant index can round up to 6; it must stay (almost) red, not turn magenta.
  for (double h = std::nextafter(1.0, 0.0), n = 0; n < 8; h = std::nextafter(h, 0.0), ++n) {
    const RGBA c = UIColor::colorWithHue(h, 1, 1, 1)->components();
    EXPECT_EQ(c.red, 1.0);
    EXPECT_EQ(c.green, 0.0);
    EXPECT_NEAR(c.blue, 0.0, 1e-12);
  }
  EXPECT_EQ(UIColor::colorWithHue(1.25, 1, 1, 1)->components(), UIColor::colorWithHue(0.25, 1, 1, 1)->components());
  EXPECT_EQ(UIColor::colorWithHue(-0.75, 1, 1, 1)->components(), UIColor::colorWithHue(0.25, 1, 1, 1)->components());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(UIColor::colorWithHue(nan, 1, 1, 1)->components(), (RGBA{1, 0, 0, 1}));
}

TEST(ColorTest, PresetsAndExtendedRange) {
  EXPECT_EQ(UIColor::redColor()->components(), (RGBA{1, 0, 0, 1}));
  EXPECT_EQ(UIColor::blueColor()->components(), (RGBA{0, 0, 1, 1}));
  EXPECT_EQ(UIColor::colorWithRed(1.5, -0.25, 0, 2)->components(), (RGBA{1.5, -0.25, 0, 2}));
  EXPECT_EQ(UIColor::blueColor()->CGColor()->components(), (RGBA{0, 0, 1, 1}));
}

TEST(ColorTest, AlphaReplacementKeepsTheColourAndClamps) {
  auto teal = UIColor::colorWithRed(0.1, 0.7, 0.6, 0.9);
  EXPECT_EQ(teal->colorWithAlphaComponent(0.0)->components(), (RGBA{0.1, 0.7, 0.6, 0.0}));
  EXPECT_EQ(teal->colorWithAlphaComponent(3.0)->components().alpha, 1.0);
  EXPECT_EQ(teal->colorWithAlphaComponent(-1.0)->components().alpha, 0.0);
  EXPECT_EQ(teal->colorWithAlphaComponent(std::nan(""))->components().alpha, 0.0);
  EXPECT_EQ(teal->components().alpha, 0.9);
}

TEST(ColorTest, MixInterpolatesEachComponent) {
  EXPECT_EQ(mix(RGBA{0, 0, 1, 1}, RGBA{1, 0, 0, 0}, 0.25), (RGBA{0.25, 0, 0.75, 0.75}));
}

}  // namespace
