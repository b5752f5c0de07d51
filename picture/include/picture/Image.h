// Image: an opaque RGB picture in memory, the renderer's output and the input
// of the PNG, GIF and terminal writers. It wraps a cairo image surface (24-bit
// RGB, one 32-bit word per pixel), so cairo can draw into it directly.
//
//   Image image(1170, 99);
//   Rgb corner = image.pixel(0, 0);
//
// An Image owns its surface; it can be moved, not copied. Main thread only
// (cairo surfaces are not shared between threads here).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace picture {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// The 24-bit colour as one number, 0xRRGGBB.
constexpr std::uint32_t packRgb(Rgb c) { return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue; }
constexpr Rgb unpackRgb(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

// A rectangle of an image's pixels.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The smallest rectangle holding every pixel that differs between two
// `width`-wide pictures of the same size (packed, row by row); empty when none does.
PixelRect changedRect(std::span<const std::uint32_t> before, std::span<const std::uint32_t> now, int width);

class Image {
 public:
  // A black image. Throws std::runtime_error when cairo cannot make it (a size
  // of 0 or beyond cairo's limits, or no memory).
  Image(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  Rgb pixel(int x, int y) const;
  // Every pixel as 0xRRGGBB, row by row.
  std::vector<std::uint32_t> packedPixels() const { return packedPixels(bounds()); }
  // Those of `area` (within the image); into `pixels`, whose memory is used again.
  std::vector<std::uint32_t> packedPixels(PixelRect area) const;
  void packedPixels(PixelRect area, std::vector<std::uint32_t>& pixels) const;
  PixelRect bounds() const { return {0, 0, width_, height_}; }

  // For drawing; flush() before reading pixels again.
  cairo_surface_t* surface() const { return surface_.get(); }
  void flush() const { cairo_surface_flush(surface_.get()); }

 private:
  struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  };
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface_;
  int width_;
  int height_;
};

}  // namespace picture
