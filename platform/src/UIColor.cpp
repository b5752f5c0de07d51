#include "UIKit/UIColor.h"

#include <algorithm>
#include <cmath>

UIColor::UIColor(const RGBA& components) : cgColor_(CGColorCreate(components)) {}

UIColorRef UIColor::colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  return std::make_shared<const UIColor>(RGBA{red, green, blue, alpha});
}

RGBA UIColor::rgbFromHSB(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha) {
  // The usual HSV sextants (Smith, "Color Gamut Transform Pairs", 1978).
  const double h = std::isfinite(hue) ? hue - std::floor(hue) : 0.0;  // 1.0 -> 0.0
  const double h6 = h * 6.0;
  const double i = std::floor(h6);
  const double f = h6 - i;
  const double v = brightness, s = saturation;
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (static_cast<int>(i) % 6) {  // h6 may round up to 6.0
    case 0:
      return {v, t, p, alpha};
    case 1:
      return {q, v, p, alpha};
    case 2:
      return {p, v, t, alpha};
    case 3:
      return {p, q, v, alpha};
    case 4:
      return {t, p, v, alpha};
    default:
      return {v, p, q, alpha};
  }
}

UIColorRef UIColor::colorWithHue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha) {
  return std::make_shared<const UIColor>(rgbFromHSB(hue, saturation, brightness, alpha));
}

UIColorRef UIColor::initWithHue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha) {
  return colorWithHue(hue, saturation, brightness, alpha);
}

UIColorRef UIColor::redColor() { return colorWithRed(1, 0, 0, 1); }
UIColorRef UIColor::blueColor() { return colorWithRed(0, 0, 1, 1); }

UIColorRef UIColor::colorWithAlphaComponent(CGFloat alpha) const {
  const double clamped = std::isnan(alpha) ? 0.0 : std::clamp(alpha, 0.0, 1.0);
  RGBA c = components();
  c.alpha = clamped;
  return std::make_shared<const UIColor>(c);
}
