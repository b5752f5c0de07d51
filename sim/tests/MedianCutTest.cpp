// Reducing a frame to at most 256 colours: exact when it has that few,
// close when it has more.
#include "MedianCut.h"

#include <set>

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(MedianCut, KeepsEveryColourOfAFrameWithFewEnough) {
  std::vector<std::uint32_t> pixels;
  for (std::uint32_t i = 0; i < 256; ++i) pixels.push_back(i * 0x010101u);  // 256 greys
  pixels.push_back(0);  // a repeat
  const IndexedPixels indexed = quantise(pixels, 257, {0, 0, 257, 1});
  EXPECT_EQ(indexed.palette.size(), 256u);
  ASSERT_EQ(indexed.indices.size(), 257u);
  for (std::size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(packRgb(indexed.palette[indexed.indices[i]]), pixels[i]) << i;
}

TEST(MedianCut, TakesOnlyTheRectangleAskedFor) {
  // 4 x 2: the right half is red, the rest black.
  const std::vector<std::uint32_t> pixels = {0, 0, 0xFF0000, 0xFF0000, 0, 0, 0xFF0000, 0xFF0000};
  const IndexedPixels indexed = quantise(pixels, 4, {2, 0, 2, 2});
  ASSERT_EQ(indexed.palette.size(), 1u);
  EXPECT_EQ(indexed.palette[0], (Rgb{255, 0, 0}));
  EXPECT_EQ(indexed.indices, std::vector<std::uint8_t>(4, 0));
  EXPECT_TRUE(quantise(pixels, 4, {0, 0, 0, 0}).palette.empty());
}

TEST(MedianCut, GivesAClosePaletteOfAtMost256ForMoreColours) {
  // A smooth two-way ramp: 64 x 64 distinct colours.
  std::vector<std::uint32_t> pixels;
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
