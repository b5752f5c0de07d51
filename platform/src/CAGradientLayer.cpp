#include "QuartzCore/CAGradientLayer.h"

Class CAGradientLayer::objcClass() {
  static const Class cls = objc_registerClass("CAGradientLayer", CALayer::objcClass(), [] {
    return std::static_pointer_cast<NSObject>(std::make_shared<CAGradientLayer>());
  });
  return cls;
}

void CAGradientLayer::setColors(std::vector<CGColorRef> colors) {
  colors_ = std::move(colors);
  if (aurora::platformObserved() && delegateView()) {
    std::vector<RGBA> values;
    values.reserve(colors_.size());
    for (const auto& color : colors_) values.push_back(CGColorComponentsOrClear(color));
    report(aurora::ViewProperty::LayerColors, std::move(values));
  }
}

void CAGradientLayer::setStartPoint(CGPoint point) {
  startPoint_ = point;
  report(aurora::ViewProperty::LayerStartPoint, point);
}

void CAGradientLayer::setEndPoint(CGPoint point) {
  endPoint_ = point;
  report(aurora::ViewProperty::LayerEndPoint, point);
}
