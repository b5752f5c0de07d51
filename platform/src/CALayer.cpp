#include "QuartzCore/CALayer.h"

#include "AnimationEngine.h"
#include "CensusCounters.h"
#include "Foundation/NSRunLoop.h"
#include "UIKit/UIView.h"

Class CALayer::objcClass() {
  static const Class cls = objc_registerClass(
      "CALayer", NSObject::objcClass(), [] { return std::static_pointer_cast<NSObject>(std::make_shared<CALayer>()); });
  return cls;
}

CALayer::CALayer() { ++aurora::census::liveLayers; }
CALayer::~CALayer() {
  --aurora::census::liveLayers;
  aurora::census::layersDestroyed.fetch_add(1, std::memory_order_relaxed);
}

void CALayer::report(aurora::ViewProperty property, const aurora::PropertyValue& value,
                     aurora::AnimationSerial animation) const {
  if (view_) aurora::tellObservers(&aurora::PlatformObserver::propertySet, *view_, property, value, animation);
}

void CALayer::setBackgroundColor(CGColorRef color) {
  applyBackgroundColor(std::move(color), aurora::ViewProperty::LayerBackgroundColor);
}

void CALayer::applyBackgroundColor(CGColorRef color, aurora::ViewProperty property) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  aurora::AnimationEngine::Animation* animation = loop.animations().current();
  const RGBA to = CGColorComponentsOrClear(color);
  if (animation != nullptr && animation->length != aurora::Nanoseconds::zero()) {
    transition_ = ColorTransition{presentationBackgroundColor(), to, loop.now(), animation->length};
  } else {
    transition_.reset();
  }
  if (animation != nullptr) animation->layers.push_back(std::static_pointer_cast<const CALayer>(shared_from_this()));
  backgroundColor_ = std::move(color);
  if (aurora::platformObserved()) report(property, to, animation ? animation->serial : 0);
}

RGBA CALayer::presentationBackgroundColor() const {
  const RGBA model = CGColorComponentsOrClear(backgroundColor_);
  if (!transition_) return model;
  const aurora::Nanoseconds elapsed = NSRunLoop::mainRunLoop().now() - transition_->start;
  if (!transition_->length) return transition_->from;  // an endless change never leaves its start
  if (elapsed >= *transition_->length) return model;
  const double progress = static_cast<double>(elapsed.count()) / static_cast<double>(transition_->length->count());
  return mix(transition_->from, transition_->to, aurora::AnimationEngine::easeInOut(progress));
}

void CALayer::setCornerRadius(CGFloat radius) {
  cornerRadius_ = radius;
  report(aurora::ViewProperty::LayerCornerRadius, radius);
}

void CALayer::setDrawsAsynchronously(bool flag) {
  drawsAsynchronously_ = flag;
  report(aurora::ViewProperty::LayerDrawsAsynchronously, flag);
}
