// The host's pieces in-process, on the virtual clock, where a run of the
// program cannot reach: trace corner cases, the tour's preferences, the live
// view on a stand-in terminal, the renderer on pixels, the framing of
// pictures, and GIF files with their palettes.
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "CellGrid.h"
#include "CellPainter.h"
#include "Foundation/NSDictionary.h"
#include "Foundation/NSTimer.h"
#include "Framing.h"
#include "GifFile.h"
#include "LiveView.h"
#include "QuartzCore/CAGradientLayer.h"
#include "Recorder.h"
#include "Scene.h"
#include "SceneWatcher.h"
#include "SimTestSupport.h"
#include "TempDir.h"
#include "Tour.h"
#include "TraceWriter.h"
#include "UIKit/UIColor.h"
#include "Wallpaper.h"
#include "aurora/PlatformObserver.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using test::near;

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
  void TearDown() override { aurora::setPlatformObserver(nullptr); }

  std::ostringstream trace_;
  TraceWriter writer_{trace_, TraceFlush::AtEnd};
  Scene scene_;
};

// A view class whose initialiser makes another view before its own.
id initMakingAnotherViewFirst(id self, SEL sel, CGRect frame) {
  auto inner = UIView::make(UIView::objcClass(), frame);
  return objc_msgSendSuper<id>(objc_getClass("TraceNamingTestView"), self, sel, frame);
}

// The pill is the first view of its class made meanwhile; views made before
// tracing are left out, and so is what names them.
TEST_F(HostTest, TheTraceNamesThePillAndLeavesOutViewsMadeBeforeIt) {
  Class cls = objc_registerClass("TraceNamingTestView", UIView::objcClass());
  class_addMethod(cls, sel_registerName("initWithFrame:"), &initMakingAnotherViewFirst, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  auto window = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 390, 844));
  aurora::setPlatformObserver(&writer_);
  writer_.willMakePill(cls, "outer");
  auto pill = UIView::make(cls, CGRectMake(0, 0, 1, 1));
  writer_.didMakePill();
  window->setAlpha(0.5);
  window->addSubview(pill);
  pill->removeFromSuperview();
  window.reset();
  UIView::animateWithDuration(std::numeric_limits<double>::quiet_NaN(), nullptr);
  NSRunLoop::mainRunLoop().runFor(20ms);
  writer_.dictionaryRead("/var/mobile/Library/Preferences/x.plist", false);
  EXPECT_EQ(test::traceLines(trace_.str()), (std::vector<std::string>{
      "0 new v1 UIView [0,0,1,1]", "0 new outer TraceNamingTestView [0,0,1,1]", "0 destroy v1", "0 remove outer", "0 animate a1 null",
      "0.016666667 complete a1 true",  // lasting one display frame
      "0.02 read /var/mobile/Library/Preferences/x.plist false"}));
}

TEST_F(HostTest, TheTourShowsEachStyleOnFreshPillsAndPutsThePreferencesBack) {
  test::TempDir dir;
  const std::string original = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
  const auto path = dir.write("prefs.plist", original);
  PrefsFile prefs(path);
  const auto shown = [&](const Tour& tour) { return NSDictionary::fromFile(path)->stringValue("style").value_or("?") + " " + tour.caption(); };
  {
    Tour tour(scene_, prefs);
    EXPECT_EQ(tour.caption(), "");
    tour.start();
    std::vector<std::string> seen{shown(tour)};
    const UIView* firstPill = &scene_.pill("static");
    for (auto t = Tour::kSegment; t <= Tour::kLength; t += Tour::kSegment) {
      NSRunLoop::mainRunLoop().runUntil(t);
      seen.push_back(shown(tour));
      EXPECT_EQ(scene_.window().subviews().size(), 2u);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Wave Wave (1/5)", "Spectrum Spectrum (2/5)", "Fade Fade (3/5)", "Breathing Breathing (4/5)",
                                              "Static Static (5/5)", "Wave Wave (1/5)"}));  // and round again
    EXPECT_NE(&scene_.pill("static"), firstPill);  // made afresh
  }
  EXPECT_EQ(test::readFile(path), original);
}

// A stand-in terminal.
struct FakeScreen final : TerminalScreen {
  TerminalSize size() const override { return size_; }
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }
  TerminalSize size_{80, 24};
  std::vector<std::string> writes;
};

TEST_F(HostTest, TheLiveViewDrawsWhatChangedAtMostThirtyTimesASecondThenSleeps) {
  FakeScreen screen;
  LiveView view{scene_.window(), screen, ViewKind::Pills, [] { return std::string(" status here"); }};
  SceneWatcher watcher{nullptr, view};
  aurora::setPlatformObserver(&watcher);
  // Runs to `t` since the start; the frames drawn and the writes sent meanwhile.
  const auto runTo = [&](aurora::Nanoseconds t) {
    const std::size_t frames = view.framesDrawn(), writes = screen.writes.size();
    NSRunLoop::mainRunLoop().runUntil(t);
    return std::pair(view.framesDrawn() - frames, screen.writes.size() - writes);
  };
  scene_.addDefaultPills();
  const auto [first, sent] = runTo(1s);
  EXPECT_TRUE(first >= 1 && first <= 3 && sent >= 1) << first;  // the pills, then their first layout's rounding
  EXPECT_EQ(screen.writes.front().substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(runTo(60s), std::pair(0ul, 0ul));             // nothing changed, so nothing woke it
  scene_.pill("static").setTag(7);
  EXPECT_EQ(runTo(61s), std::pair(1ul, 0ul));  // a change nobody can see: a frame, but nothing sent
  UIView::animateWithDuration(1.0, [&] { scene_.pill("static").setBackgroundColor(UIColor::redColor()); });
  const std::size_t during = runTo(62s + 100ms).first;
  EXPECT_TRUE(during >= 30 && during <= 33) << during;  // thirty a second while an animation runs
  EXPECT_EQ(runTo(70s).first, 0u);                      // and none once it has ended
  bool red = false;
  auto flicker = NSTimer::timerWithTimeInterval(0.001, true, [&](NSTimer&) { scene_.pill("luma").setBackgroundColor((red = !red) ? UIColor::redColor() : UIColor::blueColor()); });
  NSRunLoop::mainRunLoop().addTimer(flicker, NSDefaultRunLoopMode);
  const std::size_t busy = runTo(71s).first;
  flicker->invalidate();
  EXPECT_TRUE(busy >= 29 && busy <= 31) << busy;  // many changes, still at most thirty a second
  screen.size_ = {120, 30};
  view.resized();
  runTo(72s);
  EXPECT_EQ(screen.writes.back().substr(0, 8), "\x1b[0m\x1b[2J");  // everything again, at the new size
  EXPECT_NE(screen.writes.back().find("\x1b[30;1H"), std::string::npos);
  screen.size_ = {80, 1};
  view.resized();
  EXPECT_EQ(runTo(73s), std::pair(1ul, 0ul));  // too small: a frame, but nothing sent
  {
    LiveView gone(scene_.window(), screen, ViewKind::Full, [] { return std::string(); });
    gone.sceneChanged();
  }
  EXPECT_EQ(runTo(74s), std::pair(0ul, 0ul));  // a frame due after its view is gone does nothing
}

CellGrid filled(int columns, int rows, Rgb background) {
  CellGrid g(columns, rows);
  for (int row = 0; row < rows; ++row) g.putText(0, row, std::string(static_cast<std::size_t>(columns), ' '), {}, background);
  return g;
}

// Cells from pictures and text, and what of them reaches the terminal: everything
// the first time, then only the cells that changed, and nothing when nothing did.
TEST(CellPainter, PaintsTwoPixelsACellWithTextOverThemSendingOnlyWhatChanged) {
  CellGrid grid(4, 3);
  EXPECT_EQ(grid.at(1, 0), (Cell{U' ', {}, {}}));  // blank to start with
  grid.drawImage(test::paintedImage(3, 3, [](int x, int y) { return Rgb{static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(10 * y), 0}; }));
  EXPECT_EQ(grid.at(0, 0), (Cell{kUpperHalfBlock, {0, 0, 0}, {0, 10, 0}}));  // the upper pixel in front
  EXPECT_EQ(grid.at(2, 0), (Cell{kUpperHalfBlock, {20, 0, 0}, {20, 10, 0}}));
  EXPECT_EQ(grid.at(1, 1), (Cell{kUpperHalfBlock, {10, 20, 0}, {0, 0, 0}}));  // the odd last row: black below
  EXPECT_EQ(std::pair(grid.at(3, 0), grid.at(0, 2)), std::pair(Cell{}, Cell{}));  // beyond the picture
  grid.putTextOverPicture(2, 0, "Z", {200, 200, 200});
  EXPECT_EQ(grid.at(2, 0), (Cell{U'Z', {200, 200, 200}, {20, 5, 0}}));  // over the mean of the cell's two pixels
  grid.putText(-1, 2, "ab\x01\xc3xyz", {1, 2, 3}, {4, 5, 6});  // clipped to the grid, other bytes as '?'
  EXPECT_EQ(grid.at(0, 2), (Cell{U'b', {1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(std::u32string({grid.at(1, 2).glyph, grid.at(2, 2).glyph, grid.at(3, 2).glyph}), U"??x");
  const CellGrid before = grid;
  grid.putText(0, 3, "off the grid", {}, {});
  EXPECT_EQ(grid, before);
  CellPainter painter;
  EXPECT_EQ(painter.paint(filled(3, 2, {1, 2, 3})), "\x1b[0m\x1b[2J\x1b[1;1H\x1b[38;2;0;0;0m\x1b[48;2;1;2;3m   \x1b[2;1H   ");
  CellGrid next = filled(40, 10, {9, 9, 9});
  EXPECT_EQ(painter.paint(next).substr(0, 8), "\x1b[0m\x1b[2J");  // another size: everything again
  EXPECT_EQ(painter.paint(next) + painter.paint(filled(40, 10, {9, 9, 9})), "");
  next.putText(5, 3, "hi", {255, 255, 255}, {9, 9, 9});
  next.putText(0, 7, "\x7f", {0, 0, 0}, {0, 0, 0});
  EXPECT_EQ(painter.paint(next), "\x1b[4;6H\x1b[38;2;255;255;255m\x1b[48;2;9;9;9mhi\x1b[8;1H\x1b[38;2;0;0;0m\x1b[48;2;0;0;0m?");
  painter.forget();
  const std::string again = painter.paint(next);
  EXPECT_EQ(again.substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(std::count(again.begin(), again.end(), ' '), 397);
  CellGrid block(1, 1);
  block.drawImage(Image(1, 2));
  EXPECT_NE(painter.paint(block).find("\xe2\x96\x80"), std::string::npos);  // the half block in UTF-8
}

// A UIView subclass whose layer is a gradient layer, as the extension's colour view has.
Class gradientViewClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("SimTestGradientView", UIView::objcClass());
    class_addClassMethod(c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
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

using RendererTest = HostTest;

TEST_F(RendererTest, DrawsEachViewAsItsLayerPresentsIt) {
  const auto add = [&](std::shared_ptr<UIView> view, double alpha = 1, std::shared_ptr<UIView> child = nullptr) {
    view->setAlpha(alpha);
    if (child) view->addSubview(child);
    scene_.window().addSubview(view);
    return view;
  };
  auto* gradient = static_cast<CAGradientLayer*>(add(UIView::make(gradientViewClass(), CGRectMake(10, 10, 100, 100)))->layer());
  gradient->setColors({UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()});
  gradient->setStartPoint(CGPointMake(0.5, 0.25));  // vertical, over the middle half
  gradient->setEndPoint(CGPointMake(0.5, 0.75));
  add(UIView::make(gradientViewClass(), CGRectMake(120, 10, 30, 30)))->setBackgroundColor(UIColor::colorWithRed(0, 1, 0, 1));  // no colours
  add(makeView(CGRectMake(160, 10, 60, 40), {1, 1, 1, 1}))->layer()->setCornerRadius(12);
  add(makeView(CGRectMake(230, 10, 30, 10), {1, 1, 1, 1}), 0.5);
  add(makeView(CGRectMake(270, 10, 100, 100), {1, 0, 0, 1}), 0.5, makeView(CGRectMake(0, 0, 50, 100), {0, 0, 1, 1}));  // group opacity
  add(makeView(CGRectMake(10, 130, 50, 50), {1, 0, 0, 1}), -2, makeView(CGRectMake(0, 0, 50, 50), {0, 1, 0, 1}));     // clamped to 0
  add(makeView(CGRectMake(70, 130, 50, 50), {0, 0, 1, 1}), 7);                                                       // clamped to 1
  for (const bool clips : {true, false}) {
    auto parent = add(makeView(CGRectMake(clips ? 140 : 220, 140, 40, 40), {1, 1, 1, 1}), 1, makeView(CGRectMake(-20, -20, 80, 80), {0, 0, 1, 1}));
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
  const Image image = renderWindow(scene_.window(), top), wall = renderWindow(*UIView::make(UIView::objcClass(), scene_.window().frame()), top);
  const auto at = [](const Image& picture, double x, double y) { return picture.pixel(static_cast<int>(x * 3), static_cast<int>(y * 3)); };
  EXPECT_EQ(at(image, 20, 60), at(image, 100, 60));  // the gradient is the same across its axis
  const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
  struct Pixel {
    double x, y;
    std::optional<Rgb> colour;  // nothing: the wallpaper
    double alpha = 1;           // 0.5: half over the wallpaper
    int tolerance = 0;
  };
  for (const auto& [x, y, colour, alpha, tolerance] : std::vector<Pixel>{
           {60, 20, red, 1, 1}, {60, 60, Rgb{128, 0, 128}, 1, 2}, {60, 100, blue, 1, 1},  // padded before its start, halfway, padded after its end
           {112, 60, {}}, {135, 25, green},  // nothing beyond the view; a gradient with no colours shows the background
           {160, 10, {}}, {219.9, 10, {}}, {160, 49.9, {}}, {219.9, 49.9, {}}, {190, 30, white}, {160.5, 30, white},  // rounded corners
           {245, 15, white, 0.5, 1}, {290, 60, blue, 0.5, 1}, {350, 60, red, 0.5, 1},  // group opacity: no red shows through the child
           {35, 155, {}}, {95, 155, blue},                                            // alpha clamped to 0 .. 1
           {160, 160, blue}, {185, 185, {}}, {141, 141, {}},                          // clipped to the rounded bounds
           {240, 160, blue}, {265, 185, blue}, {221, 141, blue},                      // not clipped
           {295, 135, red}, {305, 145, green}, {340, 180, blue},                      // subviews after their parent, in order, in their frames
           {35, 265, Rgb{255, 0, 128}, 1, 1}}) {                                      // extended colours clamped
    const Rgb under = at(wall, x, y), want = !colour ? under : alpha < 1 ? halfway(under, *colour) : *colour;
    EXPECT_TRUE(near(at(image, x, y), want, tolerance)) << x << ", " << y;
  }
}

// What a block animation shows half way, and the pills' labels, are left to runs of the program.
// The wallpaper is drawn once per picture geometry and kept: every geometry,
// also one seen before, must get the wallpaper drawn afresh for it.
TEST_F(RendererTest, EachPictureGeometryGetsItsOwnWallpaper) {
  RenderOptions full = framePicture(scene_.window(), {ViewKind::Full, 1.0}), band = framePicture(scene_.window(), {ViewKind::Pills, 2.0}), shifted = band;
  shifted.region.origin.y -= 100;
  for (RenderOptions options : {full, band, shifted, full}) {
    options.labels = false;
    Image direct(options.width, options.height);
    cairo_t* cr = cairo_create(direct.surface());
    cairo_scale(cr, options.scaleX, options.scaleY);
    cairo_translate(cr, -options.region.origin.x, -options.region.origin.y);
    paintWallpaper(cr, scene_.window().bounds().size);
    cairo_destroy(cr);
    direct.flush();
    EXPECT_EQ(renderWindow(scene_.window(), options).packedPixels(), direct.packedPixels()) << options.region.origin.y;
  }
}

// The sizes of file pictures at whole scales are left to runs of the program.
TEST_F(HostTest, FramingThePillsBandAndTerminalsStretchingThePills) {
  Scene& scene = scene_;
  EXPECT_EQ(pillsBand(scene.window()), CGRectMake(0, 796, 390, 48));  // no pills: the home indicator's place
  const RenderOptions whole = frameTerminal(scene.window(), ViewKind::Full, 200, 422);
  EXPECT_EQ(std::tuple(whole.scaleX, whole.scaleY, whole.region.origin.x, whole.region.origin.y), std::tuple(0.5, 0.5, -5.0, 0.0));  // centred
  scene.addDefaultPills();
  EXPECT_EQ(pillsBand(scene.window()), CGRectMake(0, 799, 390, 45));  // 831 - 32 .. 844, the window's edge
  const RenderOptions pills = framePicture(scene.window(), {ViewKind::Pills, 1.5});
  EXPECT_EQ(std::tuple(pills.width, pills.height, pills.scaleX, pills.scaleY, pills.labels), std::tuple(585, 68, 1.5, 1.5, true));
  const RenderOptions terminal = frameTerminal(scene.window(), ViewKind::Pills, 78, 46);
  EXPECT_EQ(std::pair(terminal.scaleX, terminal.labels), std::pair(0.2, false));
  EXPECT_DOUBLE_EQ(terminal.scaleY, 0.8);  // a 5-point pill stands 4 pixels tall
  EXPECT_DOUBLE_EQ(terminal.region.origin.y + terminal.region.size.height, 844);  // down to the window's edge
  const CGPoint pillTop = toPixels(terminal, {40, 831});
  EXPECT_DOUBLE_EQ(pillTop.x, 8);
  EXPECT_TRUE(pillTop.y > 20 && pillTop.y + 4 < 46) << pillTop.y;
  scene.addPill("high", objc_getClass("MTStaticColorPillView"), CGRectMake(10, 400, 50, 5));
  EXPECT_EQ(pillsBand(scene.window()), CGRectMake(0, 368, 390, 476));
}

// A 6 x 4 picture of one colour with one pixel of another.
Image picture(Rgb fill, int x, int y, Rgb dot) { return test::paintedImage(6, 4, [&](int i, int j) { return i == x && j == y ? dot : fill; }); }

// Delays, removing unfinished files and refusing folders that are not there are left to runs of the program.
TEST(GifFile, WritesEveryFrameLoopingWithItsOwnPaletteAndChangedRectangle) {
  test::TempDir dir;
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
  EXPECT_EQ(std::tuple(decoded->width, decoded->height, decoded->loopCount), std::tuple(6, 4, std::optional(0)));  // looping for ever
  ASSERT_EQ(decoded->frames.size(), 3u);
  for (const auto& frame : decoded->frames) EXPECT_EQ(std::pair(frame.delay, frame.localPalette), std::pair(4, true));  // 1/25 s
  EXPECT_EQ(decoded->frames[0].rect, (PixelRect{0, 0, 6, 4}));
  EXPECT_EQ(decoded->frames[1].rect, (PixelRect{1, 1, 4, 2}));  // from the old dot to the new one
  EXPECT_EQ(decoded->frames[2].rect, (PixelRect{0, 0, 1, 1}));  // nothing changed: one pixel
  EXPECT_EQ(decoded->frames[0].screen, picture(grey, 1, 1, red).packedPixels());
  EXPECT_EQ(decoded->frames[1].screen, picture(grey, 4, 2, blue).packedPixels());
  EXPECT_EQ(decoded->frames[2].screen, decoded->frames[1].screen);
  EXPECT_EQ(std::tuple(gifFrameCount(2s, 25), gifFrameCount(1010ms, 25), gifFrameCount(0s, 25)), std::tuple(50u, 25u, 1u));
}

TEST(MedianCut, GivesAClosePaletteOfAtMost256ForMoreColours) {
  std::vector<std::uint32_t> pixels;  // a smooth two-way ramp: 64 x 64 distinct colours
  for (std::uint32_t y = 0; y < 64; ++y) {
    for (std::uint32_t x = 0; x < 64; ++x) pixels.push_back(packRgb({static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 128}));
  }
  const IndexedPixels indexed = quantise(pixels, 64, {0, 0, 64, 64});
  EXPECT_EQ(indexed.palette.size(), kMostGifColours);
  int worst = 0;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const Rgb want = unpackRgb(pixels[i]), got = indexed.palette[indexed.indices[i]];
    worst = std::max({worst, std::abs(want.red - got.red), std::abs(want.green - got.green), std::abs(want.blue - got.blue)});
  }
  EXPECT_LE(worst, 16);  // 4096 colours in 256 boxes: each box spans about 16 x 16
  EXPECT_EQ(std::set<std::uint8_t>(indexed.indices.begin(), indexed.indices.end()).size(), kMostGifColours);  // every entry used
}

}  // namespace
}  // namespace sim
