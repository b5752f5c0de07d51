// Reducing part of a picture to at most 256 colours, for one GIF frame: its
// exact colours when it has that few, otherwise a median-cut palette (the
// colour box with the widest spread is split at the pixel-weighted median of
// its widest channel until there are 256 boxes; each box gives its
// pixel-weighted mean colour). Pure; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "picture/Image.h"

namespace picture {

struct IndexedPixels {
  std::vector<Rgb> palette;           // at most 256 colours
  std::vector<std::uint8_t> indices;  // one per pixel of the rectangle, row by row
};

inline constexpr std::size_t kMostGifColors = 256;

// `pixels` are 0xRRGGBB, `imageWidth` to a row; `rect` lies within the image.
IndexedPixels quantise(std::span<const std::uint32_t> pixels, int imageWidth, PixelRect rect);

}  // namespace picture
