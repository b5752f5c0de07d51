// Shared pieces of the picture tests: views made by hand (plain and with a
// gradient layer), a wallpaper-only reference picture, reading PNG files back,
// and comparing colours with a tolerance.
#pragma once

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>

#include <cairo.h>
#include <gtest/gtest.h>

#include "Image.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

namespace sim {

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "rgb(" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ")";
}

namespace test {

// A UIView subclass whose layer is a gradient layer, as the extension's colour view has.
inline Class gradientViewClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("SimTestGradientView", UIView::objcClass());
    class_addClassMethod(c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
    return c;
  }();
  return cls;
}

inline std::shared_ptr<UIView> makeView(CGRect frame, const RGBA& background) {
  auto view = UIView::make(UIView::objcClass(), frame);
  view->setBackgroundColor(std::make_shared<const UIColor>(background));
  return view;
}

inline ::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance) {
  const int worst = std::max({std::abs(actual.red - expected.red), std::abs(actual.green - expected.green),
                              std::abs(actual.blue - expected.blue)});
  if (worst <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

// 0..255 from a 0..1 component, as cairo rounds.
inline std::uint8_t byte(double component) { return static_cast<std::uint8_t>(std::lround(component * 255)); }

// The mean of two colours, component by component.
inline Rgb halfway(Rgb a, Rgb b) {
  auto mid = [](int x, int y) { return static_cast<std::uint8_t>((x + y + 1) / 2); };
  return {mid(a.red, b.red), mid(a.green, b.green), mid(a.blue, b.blue)};
}

// A PNG read back with cairo.
class PngPicture {
 public:
  explicit PngPicture(const std::filesystem::path& file) : surface_(cairo_image_surface_create_from_png(file.c_str())) {}
  ~PngPicture() { cairo_surface_destroy(surface_); }
  PngPicture(const PngPicture&) = delete;
  PngPicture& operator=(const PngPicture&) = delete;

  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_); }
  int height() const { return cairo_image_surface_get_height(surface_); }
  Rgb pixel(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    return unpackRgb(reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFFu);
  }

 private:
  cairo_surface_t* surface_;
};

}  // namespace test
}  // namespace sim
