// Taking the pictures files need on the virtual clock: GIF frames at every
// 1/fps, the PNG at its instant, after everything due then has run.
#include "Recorder.h"

#include <gtest/gtest.h>

#include "Foundation/NSTimer.h"
#include "GifReader.h"
#include "PictureTestSupport.h"
#include "Scene.h"
#include "SimTestSupport.h"
#include "TempDir.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
    scene_.addDefaultPills();
  }

  // At `seconds`, the static pill turns red.
  void turnRedAt(double seconds) {
    timer_ = NSTimer::timerWithTimeInterval(seconds, false, [this](NSTimer&) { scene_.pill("static").setBackgroundColor(UIColor::redColor()); });
    NSRunLoop::mainRunLoop().addTimer(timer_, NSDefaultRunLoopMode);
  }

  test::TempDir dir_;
  Scene scene_;
  std::shared_ptr<NSTimer> timer_;
};

TEST_F(RecorderTest, CountsFramesAsDurationTimesRate) {
  EXPECT_EQ(gifFrameCount(2s, 25), 50u);
  EXPECT_EQ(gifFrameCount(1010ms, 25), 25u);
  EXPECT_EQ(gifFrameCount(0s, 25), 1u);
}

TEST_F(RecorderTest, AGifHasAFrameEveryTenthOfASecondAtTenFps) {
  turnRedAt(1.0);
  const auto file = dir_ / "run.gif";
  record(scene_.window(), {std::nullopt, GifOutput{file, 10, {ViewKind::Pills, 1}}, 2s}, {});
  EXPECT_EQ(NSRunLoop::mainRunLoop().now(), 2s);
  const auto gif = test::readGif(file);
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->frames.size(), 20u);
  EXPECT_EQ(gif->loopCount, 0);
  EXPECT_EQ(std::pair(gif->width, gif->height), std::pair(390, 45));
  for (const auto& frame : gif->frames) EXPECT_EQ(frame.delay, 10);
  // The static pill's middle (105, 833) in the band: grey until 1 s, red from the frame at 1 s on.
  const std::size_t middle = (833 - 799) * 390 + 105;
  EXPECT_NE(unpackRgb(gif->frames[9].screen[middle]), (Rgb{255, 0, 0}));
  EXPECT_EQ(unpackRgb(gif->frames[10].screen[middle]), (Rgb{255, 0, 0}));
}

TEST_F(RecorderTest, APngShowsItsInstantAfterEverythingDueThen) {
  turnRedAt(0.5);
  const auto file = dir_ / "at.png";
  record(scene_.window(), {PngOutput{file, 500ms, {ViewKind::Full, 1}}, std::nullopt, 1s}, {});
  const test::PngPicture png(file);
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(std::pair(png.width(), png.height()), std::pair(390, 844));
  EXPECT_EQ(png.pixel(105, 833), (Rgb{255, 0, 0}));
  EXPECT_EQ(NSRunLoop::mainRunLoop().now(), 1s);  // and the run went on to its end
}

TEST_F(RecorderTest, CaptionsEachPicture) {
  const auto plain = dir_ / "plain.png", captioned = dir_ / "captioned.png";
  record(scene_.window(), {PngOutput{plain, 0s, {ViewKind::Pills, 2}}, std::nullopt, 0s}, {});
  test::restartRunLoop();
  RecordingHooks hooks;
  hooks.caption = [] { return std::string("Wave (1/5)"); };
  record(scene_.window(), {PngOutput{captioned, 0s, {ViewKind::Pills, 2}}, std::nullopt, 0s}, hooks);
  const test::PngPicture a(plain), b(captioned);
  int changed = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) changed += a.pixel(x, y) != b.pixel(x, y);
  }
  EXPECT_GT(changed, 50);
}

TEST_F(RecorderTest, AnEndFromInsideEndsTheGifThereAndMissesALaterPng) {
  bool ended = false;
  auto stopper = NSTimer::timerWithTimeInterval(1.0, false, [&](NSTimer&) {
    ended = true;
    NSRunLoop::mainRunLoop().stop();
  });
  NSRunLoop::mainRunLoop().addTimer(stopper, NSDefaultRunLoopMode);
  RecordingHooks hooks;
  hooks.ended = [&] { return ended; };
  const auto gifFile = dir_ / "short.gif", pngFile = dir_ / "late.png";
  EXPECT_THROW(record(scene_.window(), {PngOutput{pngFile, 1500ms, {}}, GifOutput{gifFile, 10, {ViewKind::Pills, 1}}, 2s}, hooks),
               std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(pngFile));
  const auto gif = test::readGif(gifFile);
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->frames.size(), 10u);  // 0 .. 0.9 s; the run ended at 1 s
}

TEST_F(RecorderTest, ANoFileRunJustRunsToTheEnd) {
  record(scene_.window(), {std::nullopt, std::nullopt, 3s}, {});
  EXPECT_EQ(NSRunLoop::mainRunLoop().now(), 3s);
}

}  // namespace
}  // namespace sim
