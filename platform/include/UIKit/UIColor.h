// UIColor: the platform's colour object. Immutable, shared through UIColorRef,
// usable on any thread.
//
// Components are extended-range RGBA in doubles and are not clamped, except the
// alpha given to colorWithAlphaComponent:. HSB converts with the usual six-
// sector HSV formula; hue 1.0 is the same colour as hue 0.0. Each colour makes
// its graphics form (CGColor) once, at construction.
#pragma once

#include <memory>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"

class UIColor;
using UIColorRef = std::shared_ptr<const UIColor>;

class UIColor {
 public:
  explicit UIColor(const RGBA& components);

  static UIColorRef colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  static UIColorRef colorWithHue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha);
  // The same as colorWithHue: the platform's alloc/init spelling.
  static UIColorRef initWithHue(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha);
  static UIColorRef redColor();
  static UIColorRef blueColor();

  // The same colour with the alpha replaced, clamped to 0..1 (NaN gives 0).
  UIColorRef colorWithAlphaComponent(CGFloat alpha) const;

  const CGColorRef& CGColor() const { return cgColor_; }
  const RGBA& components() const { return cgColor_->components(); }

  // The HSB formula alone: hue is taken modulo 1 (a non-finite hue counts as 0).
  static RGBA rgbFromHSB(CGFloat hue, CGFloat saturation, CGFloat brightness, CGFloat alpha);

 private:
  CGColorRef cgColor_;
};
