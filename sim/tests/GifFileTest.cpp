// Writing GIFs: frames, delays, looping, palettes per frame, changed
// rectangles, and the errors.
#include "GifFile.h"

#include <gtest/gtest.h>

#include "GifReader.h"
#include "TempDir.h"

namespace sim {
namespace {

// A 6 x 4 picture of one colour with one pixel of another.
Image picture(Rgb fill, int x, int y, Rgb dot) {
  Image image(6, 4);
  cairo_t* cr = cairo_create(image.surface());
  cairo_set_source_rgb(cr, fill.red / 255.0, fill.green / 255.0, fill.blue / 255.0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, dot.red / 255.0, dot.green / 255.0, dot.blue / 255.0);
  cairo_rectangle(cr, x, y, 1, 1);
  cairo_fill(cr);
  cairo_destroy(cr);
  image.flush();
  return image;
}

class GifFileTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::filesystem::path file_ = dir_ / "a.gif";
};

TEST_F(GifFileTest, WritesEveryFrameLoopingWithItsOwnPaletteAndDelay) {
  const Rgb grey{40, 40, 60}, red{255, 0, 0}, blue{0, 0, 255};
  {
    GifFile gif(file_, 6, 4, 25);
    gif.addFrame(picture(grey, 1, 1, red));
    gif.addFrame(picture(grey, 4, 2, blue));
    gif.addFrame(picture(grey, 4, 2, blue));  // unchanged
    EXPECT_EQ(gif.frameCount(), 3u);
    gif.finish();
  }
  const auto decoded = test::readGif(file_);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 6);
  EXPECT_EQ(decoded->height, 4);
  EXPECT_EQ(decoded->loopCount, 0);  // for ever
  ASSERT_EQ(decoded->frames.size(), 3u);
  for (const auto& frame : decoded->frames) {
    EXPECT_EQ(frame.delay, 4);  // 1/25 s
    EXPECT_TRUE(frame.localPalette);
  }
  EXPECT_EQ(decoded->frames[0].rect, (PixelRect{0, 0, 6, 4}));
  EXPECT_EQ(decoded->frames[1].rect, (PixelRect{1, 1, 4, 2}));  // from the old dot to the new one
  EXPECT_EQ(decoded->frames[2].rect, (PixelRect{0, 0, 1, 1}));  // nothing changed: one pixel
  const std::vector<std::uint32_t> expected = picture(grey, 4, 2, blue).packedPixels();
  EXPECT_EQ(decoded->frames[1].screen, expected);
  EXPECT_EQ(decoded->frames[2].screen, expected);
}

TEST_F(GifFileTest, DelaysAddUpToTheExactLengthAtAnyRate) {
  {
    GifFile gif(file_, 6, 4, 30);
    for (int k = 0; k < 30; ++k) gif.addFrame(picture({0, 0, 0}, k % 6, 0, {255, 255, 255}));
    gif.finish();
  }
  const auto decoded = test::readGif(file_);
  ASSERT_TRUE(decoded);
  int total = 0;
  for (const auto& frame : decoded->frames) {
    EXPECT_TRUE(frame.delay == 3 || frame.delay == 4) << frame.delay;
    total += frame.delay;
  }
  EXPECT_EQ(total, 100);  // one second
}

TEST_F(GifFileTest, RefusesBadRatesSizesAndPlaces) {
  EXPECT_THROW(GifFile(file_, 6, 4, 0), std::invalid_argument);
  EXPECT_THROW(GifFile(file_, 6, 4, GifFile::kMostFps + 1), std::invalid_argument);
  try {
    GifFile(dir_ / "missing/a.gif", 6, 4, 25);
    FAIL() << "wrote into a folder that is not there";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("cannot write the GIF"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos) << error.what();
  }
  GifFile gif(file_, 6, 4, 25);
  EXPECT_THROW(gif.addFrame(Image(5, 4)), std::invalid_argument);
}

TEST_F(GifFileTest, AnUnfinishedFileIsRemoved) {
  {
    GifFile gif(file_, 6, 4, 25);
    gif.addFrame(picture({0, 0, 0}, 0, 0, {1, 1, 1}));
    EXPECT_TRUE(std::filesystem::exists(file_));
  }
  EXPECT_FALSE(std::filesystem::exists(file_));
}

}  // namespace
}  // namespace sim
