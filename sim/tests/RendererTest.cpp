// The renderer, on pixels: gradients along their axis, rounded corners,
// group opacity, clipping, presentation values, labels, and what it skips.
#include "Renderer.h"

#include <gtest/gtest.h>

#include "Framing.h"
#include "PictureTestSupport.h"
#include "SimTestSupport.h"
#include "Wallpaper.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using test::near;

constexpr double kScale = 3.0;

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override { test::restartRunLoop(); }

  Image render(bool labels = false) const {
    RenderOptions options = framePicture(*window_, {ViewKind::Full, kScale});
    options.labels = labels;
    return renderWindow(*window_, options);
  }
  // The wallpaper alone at a point, in pixels.
  Rgb wallpaper(int x, int y) const {
    auto empty = UIView::make(UIView::objcClass(), window_->frame());
    return renderWindow(*empty, framePicture(*empty, {ViewKind::Full, kScale})).pixel(x, y);
  }
  // The pixel whose centre is nearest the window point (x, y).
  static Rgb at(const Image& image, double x, double y) {
    return image.pixel(static_cast<int>(x * kScale), static_cast<int>(y * kScale));
  }

  std::shared_ptr<UIView> window_ = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 390, 844));
};

// The colour a gradient of evenly spaced `stops` shows at `t` along its axis.
RGBA gradientAt(const std::vector<RGBA>& stops, double t) {
  const double position = t * static_cast<double>(stops.size() - 1);
  const auto i = std::min(static_cast<std::size_t>(position), stops.size() - 2);
  return mix(stops[i], stops[i + 1], position - static_cast<double>(i));
}

Rgb rgb(const RGBA& c) { return {test::byte(c.red), test::byte(c.green), test::byte(c.blue)}; }

TEST_F(RendererTest, AWaveFramesEndColumnsShowTheHuesOfItsGradientsEnds) {
  // As the wave shows it: 60 neighbouring hues from the palette, along a horizontal axis.
  constexpr int kFirstHue = 330;  // round past red: 330 .. 360, 0 .. 28
  std::vector<RGBA> stops;
  std::vector<CGColorRef> colours;
  for (int i = 0; i < 60; ++i) {
    colours.push_back(UIColor::colorWithHue(((kFirstHue + i) % 361) / 360.0, 1, 1, 1)->CGColor());
    stops.push_back(colours.back()->components());
  }
  auto pill = test::makeView(CGRectMake(40, 831, 134, 5), {0.9, 0.9, 0.9, 1});
  auto colourView = UIView::make(test::gradientViewClass(), pill->bounds());
  auto* layer = static_cast<CAGradientLayer*>(colourView->layer());
  layer->setColors(colours);
  layer->setStartPoint(CGPointMake(0, 0.5));
  layer->setEndPoint(CGPointMake(1, 0.5));
  pill->addSubview(colourView);
  window_->addSubview(pill);

  const Image image = render();
  const int left = 40 * 3, right = 174 * 3 - 1, middleRow = 833 * 3;
  // Pixel centres: half a pixel in from the view's edges.
  const double leftT = 0.5 / (134 * kScale), rightT = 1 - 0.5 / (134 * kScale);
  EXPECT_TRUE(near(image.pixel(left, middleRow), rgb(gradientAt(stops, leftT)), 2));
  EXPECT_TRUE(near(image.pixel(right, middleRow), rgb(gradientAt(stops, rightT)), 2));
  EXPECT_TRUE(near(image.pixel(left, middleRow), rgb(stops.front()), 3));  // pink, hue 330
  EXPECT_TRUE(near(image.pixel(right, middleRow), rgb(stops.back()), 3));   // orange, hue 28
  // Beyond the view the gradient does not spill.
  EXPECT_EQ(image.pixel(left - 1, middleRow), wallpaper(left - 1, middleRow));
}

TEST_F(RendererTest, AGradientGoesAlongItsAxisAndPadsBeyondItsEnds) {
  auto view = UIView::make(test::gradientViewClass(), CGRectMake(100, 100, 100, 100));
  auto* layer = static_cast<CAGradientLayer*>(view->layer());
  layer->setColors({UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()});
  layer->setStartPoint(CGPointMake(0.5, 0.25));  // vertical, over the middle half
  layer->setEndPoint(CGPointMake(0.5, 0.75));
  window_->addSubview(view);
  const Image image = render();
  EXPECT_TRUE(near(at(image, 150, 110), {255, 0, 0}, 1));   // before the start: the first colour
  EXPECT_TRUE(near(at(image, 150, 150), {128, 0, 128}, 2)); // halfway
  EXPECT_TRUE(near(at(image, 150, 190), {0, 0, 255}, 1));   // after the end: the last colour
  EXPECT_EQ(at(image, 110, 150), at(image, 190, 150));      // the same across the axis
}

TEST_F(RendererTest, AGradientWithNoColoursShowsTheBackground) {
  auto view = UIView::make(test::gradientViewClass(), CGRectMake(100, 100, 50, 50));
  view->setBackgroundColor(UIColor::colorWithRed(0, 1, 0, 1));
  window_->addSubview(view);
  EXPECT_EQ(at(render(), 125, 125), (Rgb{0, 255, 0}));
}

TEST_F(RendererTest, CornersOutsideTheRadiusShowTheWallpaper) {
  auto view = test::makeView(CGRectMake(100, 100, 60, 40), {1, 1, 1, 1});
  view->layer()->setCornerRadius(12);
  window_->addSubview(view);
  const Image image = render();
  for (auto [x, y] : {std::pair{300, 300}, {300 + 179, 300}, {300, 300 + 119}, {300 + 179, 300 + 119}}) {
    EXPECT_EQ(image.pixel(x, y), wallpaper(x, y)) << x << ", " << y;
  }
  EXPECT_EQ(at(image, 130, 120), (Rgb{255, 255, 255}));
  EXPECT_EQ(at(image, 100.5, 120), (Rgb{255, 255, 255}));  // the straight edge between the corners
}

TEST_F(RendererTest, AlphaOneHalfHalvesThePillOverTheWallpaper) {
  auto pill = test::makeView(CGRectMake(40, 831, 134, 5), {1, 1, 1, 1});
  pill->setAlpha(0.5);
  window_->addSubview(pill);
  const int x = 100 * 3, y = 833 * 3;
  EXPECT_TRUE(near(render().pixel(x, y), test::halfway(wallpaper(x, y), {255, 255, 255}), 1));
}

TEST_F(RendererTest, AlphaIsGroupOpacityOverEverythingInsideTheView) {
  auto parent = test::makeView(CGRectMake(100, 100, 100, 100), {1, 0, 0, 1});
  parent->addSubview(test::makeView(CGRectMake(0, 0, 50, 100), {0, 0, 1, 1}));
  parent->setAlpha(0.5);
  window_->addSubview(parent);
  const Image image = render();
  // Where the child covers the parent, only the child fades over the wallpaper: no red shows through.
  const int x = 120 * 3, y = 150 * 3;
  EXPECT_TRUE(near(image.pixel(x, y), test::halfway(wallpaper(x, y), {0, 0, 255}), 1));
  const int x2 = 180 * 3;
  EXPECT_TRUE(near(image.pixel(x2, y), test::halfway(wallpaper(x2, y), {255, 0, 0}), 1));
}

TEST_F(RendererTest, AlphaIsClampedAndZeroHidesTheViewAndItsSubviews) {
  auto hidden = test::makeView(CGRectMake(100, 100, 50, 50), {1, 0, 0, 1});
  hidden->addSubview(test::makeView(CGRectMake(0, 0, 50, 50), {0, 1, 0, 1}));
  hidden->setAlpha(-2);
  auto solid = test::makeView(CGRectMake(200, 100, 50, 50), {0, 0, 1, 1});
  solid->setAlpha(7);
  window_->addSubview(hidden);
  window_->addSubview(solid);
  const Image image = render();
  EXPECT_EQ(at(image, 125, 125), wallpaper(125 * 3, 125 * 3));
  EXPECT_EQ(at(image, 225, 125), (Rgb{0, 0, 255}));
}

TEST_F(RendererTest, ClipsToBoundsKeepsSubviewsInsideTheRoundedBounds) {
  for (const bool clips : {true, false}) {
    window_ = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 390, 844));
    auto parent = test::makeView(CGRectMake(100, 100, 40, 40), {1, 1, 1, 1});
    parent->layer()->setCornerRadius(20);
    parent->setClipsToBounds(clips);
    parent->addSubview(test::makeView(CGRectMake(-20, -20, 80, 80), {0, 0, 1, 1}));
    window_->addSubview(parent);
    const Image image = render();
    EXPECT_EQ(at(image, 120, 120), (Rgb{0, 0, 255})) << clips;  // inside both
    const int outside = 145 * 3, corner = 101 * 3;
    EXPECT_EQ(image.pixel(outside, outside) == wallpaper(outside, outside), clips);  // beyond the parent
    EXPECT_EQ(image.pixel(corner, corner) == wallpaper(corner, corner), clips);      // in its rounded-off corner
  }
}

TEST_F(RendererTest, SubviewsAreDrawnAfterTheirParentInOrderInTheirFrames) {
  auto parent = test::makeView(CGRectMake(100, 100, 100, 100), {1, 0, 0, 1});
  parent->addSubview(test::makeView(CGRectMake(10, 10, 50, 50), {0, 1, 0, 1}));
  parent->addSubview(test::makeView(CGRectMake(30, 30, 50, 50), {0, 0, 1, 1}));
  window_->addSubview(parent);
  const Image image = render();
  EXPECT_EQ(at(image, 105, 105), (Rgb{255, 0, 0}));
  EXPECT_EQ(at(image, 115, 115), (Rgb{0, 255, 0}));
  EXPECT_EQ(at(image, 150, 150), (Rgb{0, 0, 255}));  // the later sibling on top
}

TEST_F(RendererTest, ShowsThePresentationValueWhileABlockAnimationRuns) {
  auto view = test::makeView(CGRectMake(100, 100, 50, 50), {0, 0, 0, 1});
  window_->addSubview(view);
  UIView::animateWithDuration(1.0, [&] { view->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 1)); });
  EXPECT_EQ(at(render(), 125, 125), (Rgb{0, 0, 0}));
  NSRunLoop::mainRunLoop().runFor(500ms);  // halfway along the ease-in-out curve is halfway in colour
  EXPECT_TRUE(near(at(render(), 125, 125), {128, 128, 128}, 1));
  NSRunLoop::mainRunLoop().runFor(600ms);
  EXPECT_EQ(at(render(), 125, 125), (Rgb{255, 255, 255}));
}

TEST_F(RendererTest, LabelsEachPillWithItsClassNameAbove) {
  window_->addSubview(test::makeView(CGRectMake(40, 831, 134, 5), {1, 1, 1, 1}));
  const Image plain = render(false), labelled = render(true);
  int changed = 0;
  for (int y = 815 * 3; y < 828 * 3; ++y) {
    for (int x = 40 * 3; x < 174 * 3; ++x) changed += plain.pixel(x, y) != labelled.pixel(x, y);
  }
  EXPECT_GT(changed, 100);
  EXPECT_EQ(plain.pixel(5, 5), labelled.pixel(5, 5));
}

TEST_F(RendererTest, ExtendedColoursAreClampedAndBrokenFramesAreSkipped) {
  window_->addSubview(test::makeView(CGRectMake(100, 100, 50, 50), {2, -1, 0.5, 1}));
  window_->addSubview(test::makeView(CGRectMake(std::nan(""), 0, 10, 10), {1, 1, 1, 1}));
  window_->addSubview(test::makeView(CGRectMake(0, 0, 1e300, 1e300), {0, 1, 0, 0.0}));
  const Image image = render();  // would throw had cairo given up
  EXPECT_TRUE(near(at(image, 125, 125), {255, 0, 128}, 1));
}

TEST_F(RendererTest, DrawsTheRegionAskedForAtItsScale) {
  window_->addSubview(test::makeView(CGRectMake(40, 831, 134, 5), {1, 1, 1, 1}));
  RenderOptions options = framePicture(*window_, {ViewKind::Pills, 2.0});
  options.labels = false;
  const Image band = renderWindow(*window_, options);
  EXPECT_EQ(band.width(), 780);
  EXPECT_EQ(band.height(), 90);  // 799 .. 844 points
  EXPECT_EQ(band.pixel(100 * 2, (833 - 799) * 2), (Rgb{255, 255, 255}));
}

// The wallpaper is drawn once per picture geometry and kept: every geometry,
// also one seen before, must get the wallpaper drawn afresh for it.
TEST_F(RendererTest, EachPictureGeometryGetsItsOwnWallpaper) {
  auto empty = UIView::make(UIView::objcClass(), window_->frame());
  RenderOptions full = framePicture(*empty, {ViewKind::Full, kScale});
  RenderOptions band = framePicture(*empty, {ViewKind::Pills, 2.0});
  RenderOptions shifted = band;
  shifted.region.origin.y -= 100;
  for (RenderOptions options : {full, band, shifted, full}) {
    options.labels = false;
    Image direct(options.width, options.height);
    cairo_t* cr = cairo_create(direct.surface());
    cairo_scale(cr, options.scaleX, options.scaleY);
    cairo_translate(cr, -options.region.origin.x, -options.region.origin.y);
    paintWallpaper(cr, empty->bounds().size);
    cairo_destroy(cr);
    direct.flush();
    EXPECT_EQ(renderWindow(*empty, options).packedPixels(), direct.packedPixels()) << options.region.origin.y;
  }
}

}  // namespace
}  // namespace sim
