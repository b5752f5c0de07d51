// CALayer: what a view shows. Background colour, corner radius and the
// drawsAsynchronously flag, each with a model value (what was last set) and a
// presentation value (what is on screen at the run loop's current time).
//
// Only the background colour animates: set inside the animations block of
// +[UIView animateWithDuration:animations:completion:], the model changes at
// once and the presentation moves from its current value to the new one over
// the animation's duration, on the ease-in-out curve. Everything else, and
// every change outside an animations block, shows at once.
//
// Layers are runtime objects made through class_createInstance; a view owns
// its layer, and the layer knows its view (not owning) so that its changes are
// reported under the view. Main thread only.
#pragma once

#include <optional>

#include "CoreGraphics/CGColor.h"
#include "aurora/PlatformObserver.h"
#include "aurora/Time.h"
#include "objc/runtime.h"

class UIView;

class CALayer : public NSObject {
 public:
  static Class objcClass();

  CALayer();
  ~CALayer() override;

  CGColorRef backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(CGColorRef color);
  CGFloat cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(CGFloat radius);
  bool drawsAsynchronously() const { return drawsAsynchronously_; }
  void setDrawsAsynchronously(bool flag);

  // The background colour on screen now (an absent colour reads as clear).
  RGBA presentationBackgroundColor() const;

  // The view whose backing layer this is, if any.
  UIView* delegateView() const { return view_; }

  // For UIView: sets the background, reporting it as `property`.
  void applyBackgroundColor(CGColorRef color, aurora::ViewProperty property);

 protected:
  void report(aurora::ViewProperty property, const aurora::PropertyValue& value,
              aurora::AnimationSerial animation = 0) const;

 private:
  friend class UIView;
  struct ColorTransition {
    RGBA from;
    RGBA to;
    aurora::Nanoseconds start;
    std::optional<aurora::Nanoseconds> length;  // nullopt: never arrives
  };

  CGColorRef backgroundColor_;
  std::optional<ColorTransition> transition_;
  CGFloat cornerRadius_ = 0;
  bool drawsAsynchronously_ = false;
  UIView* view_ = nullptr;
};
