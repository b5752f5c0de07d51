// CAGradientLayer: a layer that also shows a list of colours spread evenly
// from startPoint to endPoint (unit square; default a vertical axis from
// (0.5, 0) to (0.5, 1)). It keeps its own copy of the list it is given, so a
// later change of the caller's list does not alter it. Main thread only.
#pragma once

#include <vector>

#include "QuartzCore/CALayer.h"

class CAGradientLayer : public CALayer {
 public:
  static Class objcClass();

  const std::vector<CGColorRef>& colors() const { return colors_; }
  void setColors(std::vector<CGColorRef> colors);
  CGPoint startPoint() const { return startPoint_; }
  void setStartPoint(CGPoint point);
  CGPoint endPoint() const { return endPoint_; }
  void setEndPoint(CGPoint point);

 private:
  std::vector<CGColorRef> colors_;
  CGPoint startPoint_{0.5, 0.0};
  CGPoint endPoint_{0.5, 1.0};
};
