// Shared pieces of the pictures' tests and of every test that reads a picture
// back: colours compared with a tolerance, pictures painted by hand, PNG and
// GIF files read back, and a fixture with a window of plain views on a fresh
// virtual clock (no host: the pictures know views only).
#pragma once

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include <cairo.h>
#include <gtest/gtest.h>

#include "CoreGraphics/CGColor.h"
#include "Foundation/NSRunLoop.h"
#include "UIKit/UIView.h"
#include "picture/Framing.h"
#include "picture/Image.h"

namespace picture {

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "rgb(" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ")";
}

namespace test {

inline ::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance) {
  const int worst = std::max({std::abs(actual.red - expected.red), std::abs(actual.green - expected.green),
                              std::abs(actual.blue - expected.blue)});
  if (worst <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

// 0..255 from 0..1 components, as cairo rounds.
inline Rgb rgb(const RGBA& c) {
  const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
  return {byte(c.red), byte(c.green), byte(c.blue)};
}

// A picture whose pixel (x, y) is colour(x, y).
inline Image paintedImage(int width, int height, const std::function<Rgb(int, int)>& color) {
  Image image(width, height);
  cairo_surface_t* surface = image.surface();
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                 y * cairo_image_surface_get_stride(surface));
    for (int x = 0; x < width; ++x) row[x] = packRgb(color(x, y));
  }
  cairo_surface_mark_dirty(surface);
  return image;
}

// A PNG read back with cairo (an unreadable one gives a 0 x 0 size, which Image refuses).
inline Image readPng(const std::filesystem::path& file) {
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  Image image(cairo_image_surface_get_width(png), cairo_image_surface_get_height(png));
  cairo_t* cr = cairo_create(image.surface());
  cairo_set_source_surface(cr, png, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(png);
  image.flush();
  return image;
}

// A GIF read back with giflib: its frames as stored, and each composed over the ones before.
struct GifFrame {
  PixelRect rect;
  int delay = 0;  // hundredths of a second
  bool localPalette = false;
  std::vector<std::uint32_t> screen;  // the whole picture once this frame is drawn, 0xRRGGBB
};

struct DecodedGif {
  int width = 0;
  int height = 0;
  std::optional<int> loopCount;  // from NETSCAPE2.0; nothing when absent
  std::vector<GifFrame> frames;
};

// Nothing when giflib cannot read it.
std::optional<DecodedGif> readGif(const std::filesystem::path& file);

}  // namespace test

// A 390 x 844 window of plain views on a fresh virtual clock, as a phone's.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>()); }

  // A plain view with `frame` in the window, standing in for a pill.
  UIView& addView(CGRect frame) {
    auto view = UIView::make(UIView::objcClass(), frame);
    window_->addSubview(view);
    return *view;
  }

  std::shared_ptr<UIView> window_ = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 390, 844));
};

}  // namespace picture
