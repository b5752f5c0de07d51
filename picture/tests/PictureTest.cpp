// The pictures in-process, where a run of the program cannot reach: renderer, wallpaper, framing, GIF files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>

#include "MedianCut.h"
#include "PictureTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIColor.h"
#include "Wallpaper.h"
#include "aurora/TemporaryDirectory.h"
#include "picture/Framing.h"
#include "picture/GifFile.h"
#include "picture/LivePicture.h"
#include "picture/PngFile.h"

namespace picture {
namespace {

using namespace std::chrono_literals;
using test::near;

// A UIView subclass whose layer is a gradient layer, as the extension's colour view has.
Class gradientViewClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("SimTestGradientView", UIView::objcClass());
    class_addClassMethod(
        c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
    return c;
  }();
  return cls;
}

std::shared_ptr<UIView> makeView(CGRect frame, const RGBA& background) {
  auto view = UIView::make(UIView::objcClass(), frame);
  view->setBackgroundColor(std::make_shared<const UIColor>(background));
  return view;
}

// The mean of two colours, component by component.
Rgb halfway(Rgb a, Rgb b) {
  auto mid = [](int x, int y) { return static_cast<std::uint8_t>((x + y + 1) / 2); };
  return {mid(a.red, b.red), mid(a.green, b.green), mid(a.blue, b.blue)};
}

using RendererTest = WindowTest;

TEST_F(RendererTest, DrawsEachViewAsItsLayerPresentsIt) {
  const auto add = [&](std::shared_ptr<UIView> view, double alpha = 1, std::shared_ptr<UIView> child = nullptr) {
    view->setAlpha(alpha);
    if (child) view->addSubview(child);
    window_->addSubview(view);
    return view;
  };
  auto* gradient =
      static_cast<CAGradientLayer*>(add(UIView::make(gradientViewClass(), CGRectMake(10, 10, 100, 100)))->layer());
  gradient->setColors({UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()});
  gradient->setStartPoint(CGPointMake(0.5, 0.25));  // vertical, over the middle half
  gradient->setEndPoint(CGPointMake(0.5, 0.75));
  add(UIView::make(gradientViewClass(), CGRectMake(120, 10, 30, 30)))
      ->setBackgroundColor(UIColor::colorWithRed(0, 1, 0, 1));  // no colours
  add(makeView(CGRectMake(160, 10, 60, 40), {1, 1, 1, 1}))->layer()->setCornerRadius(12);
  add(makeView(CGRectMake(230, 10, 30, 10), {1, 1, 1, 1}), 0.5);
  add(makeView(CGRectMake(270, 10, 100, 100), {1, 0, 0, 1}), 0.5,
      makeView(CGRectMake(0, 0, 50, 100), {0, 0, 1, 1}));  // group opacity
  add(makeView(CGRectMake(10, 130, 50, 50), {1, 0, 0, 1}), -2,
      makeView(CGRectMake(0, 0, 50, 50), {0, 1, 0, 1}));        // clamped to 0
  add(makeView(CGRectMake(70, 130, 50, 50), {0, 0, 1, 1}), 7);  // clamped to 1
  for (const bool clips : {true, false}) {
    auto parent = add(makeView(CGRectMake(clips ? 140 : 220, 140, 40, 40), {1, 1, 1, 1}), 1,
                      makeView(CGRectMake(-20, -20, 80, 80), {0, 0, 1, 1}));
    parent->layer()->setCornerRadius(20);
    parent->setClipsToBounds(clips);
  }
  add(makeView(CGRectMake(290, 130, 90, 90), {1, 0, 0, 1}), 1, makeView(CGRectMake(10, 10, 40, 40), {0, 1, 0, 1}))
      ->addSubview(makeView(CGRectMake(30, 30, 40, 40), {0, 0, 1, 1}));
  add(makeView(CGRectMake(10, 240, 50, 50), {2, -1, 0.5, 1}));  // extended colours
  add(makeView(CGRectMake(std::nan(""), 0, 10, 10), {1, 1, 1, 1}));
  add(makeView(CGRectMake(0, 0, 1e300, 1e300), {0, 1, 0, 0.0}));

  // The window's top 390 x 300 points at 3 pixels a point; would throw had cairo given up on the broken frames.
  const RenderOptions top{CGRectMake(0, 0, 390, 300), 1170, 900, 3, 3, false, ""};
  const Image image = renderWindow(*window_, top),
              wall = renderWindow(*UIView::make(UIView::objcClass(), window_->frame()), top);
  const auto at = [](const Image& picture, double x, double y) {
    return picture.pixel(static_cast<int>(x * 3), static_cast<int>(y * 3));
  };
  EXPECT_EQ(at(image, 20, 60), at(image, 100, 60));  // the gradient is the same across its axis
  const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
  struct Pixel {
    double x, y;
    std::optional<Rgb> color;  // nothing: the wallpaper
    double alpha = 1;          // 0.5: half over the wallpaper
    int tolerance = 0;
  };
  const auto shows = [](double x, double y, std::optional<Rgb> color = {}, double alpha = 1, int tolerance = 0) {
    return Pixel{x, y, color, alpha, tolerance};
  };
  const std::vector<Pixel> pixels{
      // Padded before its start, halfway, padded after its end.
      shows(60, 20, red, 1, 1), shows(60, 60, Rgb{128, 0, 128}, 1, 2), shows(60, 100, blue, 1, 1),
      // Nothing beyond the view; a gradient with no colours shows the background.
      shows(112, 60), shows(135, 25, green),
      // Rounded corners.
      shows(160, 10), shows(219.9, 10), shows(160, 49.9), shows(219.9, 49.9), shows(190, 30, white),
      shows(160.5, 30, white),
      // Group opacity: no red shows through the child.
      shows(245, 15, white, 0.5, 1), shows(290, 60, blue, 0.5, 1), shows(350, 60, red, 0.5, 1),
      // Alpha clamped to 0 .. 1.
      shows(35, 155), shows(95, 155, blue),
      // Clipped to the rounded bounds, and not clipped.
      shows(160, 160, blue), shows(185, 185), shows(141, 141), shows(240, 160, blue), shows(265, 185, blue),
      shows(221, 141, blue),
      // Subviews after their parent, in order, in their frames.
      shows(295, 135, red), shows(305, 145, green), shows(340, 180, blue),
      // Extended colours clamped.
      shows(35, 265, Rgb{255, 0, 128}, 1, 1)};
  for (const auto& [x, y, color, alpha, tolerance] : pixels) {
    const Rgb under = at(wall, x, y), want = !color ? under : alpha < 1 ? halfway(under, *color) : *color;
    EXPECT_TRUE(near(at(image, x, y), want, tolerance)) << x << ", " << y;
  }
}

// What a block animation shows half way, and the pills' labels, are left to runs of the program.
// The wallpaper is drawn once per picture geometry and kept; each geometry, even one seen before, gets its own.
TEST_F(RendererTest, EachPictureGeometryGetsItsOwnWallpaper) {
  RenderOptions full = framePicture(*window_, {ViewKind::Full, 1.0}),
                band = framePicture(*window_, {ViewKind::Pills, 2.0}), shifted = band;
  shifted.region.origin.y -= 100;
  for (RenderOptions options : {full, band, shifted, full}) {
    options.labels = false;
    Image direct(options.width, options.height);
    cairo_t* cr = cairo_create(direct.surface());
    cairo_scale(cr, options.scaleX, options.scaleY);
    cairo_translate(cr, -options.region.origin.x, -options.region.origin.y);
    paintWallpaper(cr, window_->bounds().size);
    cairo_destroy(cr);
    direct.flush();
    EXPECT_EQ(renderWindow(*window_, options).packedPixels(), direct.packedPixels()) << options.region.origin.y;
  }
}

// The sizes of file pictures at whole scales are left to runs of the program.
TEST_F(WindowTest, FramingThePillsBandAndTerminalsStretchingThePills) {
  const UIView& window = *window_;
  EXPECT_EQ(pillsBand(window), CGRectMake(0, 796, 390, 48));  // no pills: the home indicator's place
  const RenderOptions whole = frameTerminal(window, ViewKind::Full, 200, 422);
  EXPECT_EQ(std::pair(whole.scaleX, whole.scaleY), std::pair(0.5, 0.5));
  EXPECT_EQ(whole.region.origin, CGPointMake(-5, 0));  // centred
  addView(CGRectMake(40, 831, 134, 5));                // the default pills
  addView(CGRectMake(216, 831, 134, 5));
  EXPECT_EQ(pillsBand(window), CGRectMake(0, 799, 390, 45));  // 831 - 32 .. 844, the window's edge
  const RenderOptions pills = framePicture(window, {ViewKind::Pills, 1.5});
  EXPECT_EQ(std::pair(pills.width, pills.height), std::pair(585, 68));
  EXPECT_EQ(std::pair(pills.scaleX, pills.scaleY), std::pair(1.5, 1.5));
  EXPECT_TRUE(pills.labels);
  const RenderOptions terminal = frameTerminal(window, ViewKind::Pills, 78, 46);
  EXPECT_EQ(terminal.scaleX, 0.2);
  EXPECT_FALSE(terminal.labels);
  EXPECT_DOUBLE_EQ(terminal.scaleY, 0.8);                                         // a 5-point pill stands 4 pixels tall
  EXPECT_DOUBLE_EQ(terminal.region.origin.y + terminal.region.size.height, 844);  // down to the window's edge
  const CGPoint pillTop = toPixels(terminal, {40, 831});
  EXPECT_DOUBLE_EQ(pillTop.x, 8);
  EXPECT_TRUE(pillTop.y > 20 && pillTop.y + 4 < 46) << pillTop.y;
  addView(CGRectMake(10, 400, 50, 5));
  EXPECT_EQ(pillsBand(window), CGRectMake(0, 368, 390, 476));
}

// Each drawing draws one area again and names the rectangle that changed; the picture stays what a
// fresh drawing gives, and the PNG of that rectangle holds its pixels.
TEST_F(WindowTest, ALivePictureDrawsAnAreaAgainAndNamesWhatChanged) {
  UIView& pill = addView(CGRectMake(40, 831, 134, 5));
  RenderOptions options = framePicture(*window_, {ViewKind::Full, 1.0});
  options.labels = false;
  const PixelRect band = pixelArea(options, pillsBand(*window_));
  EXPECT_EQ(band, (PixelRect{0, 799, 390, 45}));
  EXPECT_EQ(pixelArea(options, CGRectMake(-10.5, 839.5, 20, 10)),
            (PixelRect{0, 839, 10, 5}));  // outwards, within the picture
  LivePicture live;
  EXPECT_EQ(live.draw(*window_, options, band), (PixelRect{0, 0, 390, 844}));  // the first: all of it
  EXPECT_TRUE(live.draw(*window_, options, band).empty());
  pill.setBackgroundColor(UIColor::colorWithRed(1, 0, 0, 1));
  const PixelRect changed = live.draw(*window_, options, band);
  EXPECT_EQ(changed, (PixelRect{40, 831, 134, 5}));
  EXPECT_EQ(live.image().packedPixels(), renderWindow(*window_, options).packedPixels());
  aurora::TemporaryDirectory dir;
  std::ofstream(dir.path() / "part.png", std::ios::binary) << pngBytes(live.image(), changed);
  EXPECT_EQ(test::readPng(dir.path() / "part.png").packedPixels(), live.image().packedPixels(changed));
  EXPECT_EQ(live.draw(*window_, framePicture(*window_, {ViewKind::Full, 2.0}), {}),
            (PixelRect{0, 0, 780, 1688}));  // other options: all of it again
}

// A 6 x 4 picture of one colour with one pixel of another.
Image picture(Rgb fill, int x, int y, Rgb dot) {
  return test::paintedImage(6, 4, [&](int i, int j) { return i == x && j == y ? dot : fill; });
}

// Delays, removing unfinished files and refusing folders that are not there are left to runs of the program.
TEST(GifFile, WritesEveryFrameLoopingWithItsOwnPaletteAndChangedRectangle) {
  aurora::TemporaryDirectory dir;
  const Rgb grey{40, 40, 60}, red{255, 0, 0}, blue{0, 0, 255};
  {
    EXPECT_THROW(GifFile(dir / "a.gif", 6, 4, 0), std::invalid_argument);
    EXPECT_THROW(GifFile(dir / "a.gif", 6, 4, GifFile::kMostFps + 1), std::invalid_argument);
    GifFile gif(dir / "a.gif", 6, 4, 25);
    EXPECT_THROW(gif.addFrame(Image(5, 4)), std::invalid_argument);
    gif.addFrame(picture(grey, 1, 1, red));
    gif.addFrame(picture(grey, 4, 2, blue));
    gif.addFrame(picture(grey, 4, 2, blue));  // unchanged
    EXPECT_EQ(gif.frameCount(), 3u);
    gif.finish();
  }
  const auto decoded = test::readGif(dir / "a.gif");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(std::pair(decoded->width, decoded->height), std::pair(6, 4));
  EXPECT_EQ(decoded->loopCount, 0);  // looping for ever
  ASSERT_EQ(decoded->frames.size(), 3u);
  for (const auto& frame : decoded->frames)
    EXPECT_TRUE(frame.delay == 4 && frame.localPalette) << frame.delay;  // 1/25 s
  EXPECT_EQ(decoded->frames[0].rect, (PixelRect{0, 0, 6, 4}));
  EXPECT_EQ(decoded->frames[1].rect, (PixelRect{1, 1, 4, 2}));  // from the old dot to the new one
  EXPECT_EQ(decoded->frames[2].rect, (PixelRect{0, 0, 1, 1}));  // nothing changed: one pixel
  EXPECT_EQ(decoded->frames[0].screen, picture(grey, 1, 1, red).packedPixels());
  EXPECT_EQ(decoded->frames[1].screen, picture(grey, 4, 2, blue).packedPixels());
  EXPECT_EQ(decoded->frames[2].screen, decoded->frames[1].screen);
  for (const auto& [length, frames] : {std::pair(2000ms, 50u), {1010ms, 25u}, {0ms, 1u}})
    EXPECT_EQ(gifFrameCount(length, 25), frames);
}

TEST(MedianCut, GivesAClosePaletteOfAtMost256ForMoreColors) {
  std::vector<std::uint32_t> pixels;  // a smooth two-way ramp: 64 x 64 distinct colours
  for (std::uint32_t y = 0; y < 64; ++y) {
    for (std::uint32_t x = 0; x < 64; ++x)
      pixels.push_back(packRgb({static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128}));
  }
  const IndexedPixels indexed = quantise(pixels, 64, {0, 0, 64, 64});
  EXPECT_EQ(indexed.palette.size(), kMostGifColors);
  int worst = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const Rgb want = unpackRgb(pixels[i]), got = indexed.palette[indexed.indices[i]];
    worst = std::max(
        {worst, std::abs(want.red - got.red), std::abs(want.green - got.green), std::abs(want.blue - got.blue)});
  }
  EXPECT_LE(worst, 16);  // 4096 colours in 256 boxes: each box spans about 16 x 16
  EXPECT_EQ(std::set<std::uint8_t>(indexed.indices.begin(), indexed.indices.end()).size(),
            kMostGifColors);  // every entry used
}

}  // namespace
}  // namespace picture
