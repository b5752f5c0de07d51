// ColorPillView: the view the extension places inside a home-indicator pill
// and paints. Its backing layer is a gradient layer, so it can show one flat
// colour (the layer's background) or a band of colours (the gradient).
//
// Construction gives the view its first colour for the selected style, a
// horizontal gradient axis and the hue palette: 361 graphics colours, hue
// i/360 for i = 0...360, fully saturated, bright and opaque. Construction
// starts nothing; a creator then sends one style operation, which keeps itself
// going on the main thread:
//
//   auto view = UIView::make<ColorPillView>(pill->bounds());
//   objc_msgSend<void>(view.get(), sel_registerName("waveView"));
//
// - waveView: a repeating timer turns the palette and the gradient shows 60
//   neighbouring hues sliding along the pill.
// - specturmView: one hue per animation, round the colour circle.
// - fadeView, breathingView, animateView: two-colour cycles, one animation per
//   step, each step begun from the completion of the one before.
// - staticView: one colour, at once.
//
// Ownership: the pill owns the view; the view owns its palette and its timer
// reference; the main run loop owns a scheduled timer. What a style leaves
// pending (queued tasks, animation blocks, timer blocks) holds the view weakly,
// so a view that goes away ends its style; only the wave's queued update, run
// at the same instant, holds it strongly. When the view is destroyed it
// invalidates the wave timer it holds, and an older wave timer of the same view
// invalidates itself at its next tick.
//
// The runtime class "ColorPillView" (a subclass of UIView) answers the style
// operations, animationDidStop:finished:, the integer accessors and
// +layerClass; its methods forward to the members below. The palette and the
// timer are not runtime objects on this platform, so their accessors are C++
// only.
//
// Main thread only; nothing is locked.
#pragma once

#include <memory>

#include "CoreGraphics/CGColor.h"
#include "Foundation/NSMutableArray.h"
#include "Foundation/NSTimer.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIView.h"
#include "objc/runtime.h"

// The pill hooks find a pill's colour view again on every pass by this tag.
inline constexpr NSInteger colorViewTag = 115;

class ColorPillView : public UIView {
 public:
  using Palette = NSMutableArray<CGColorRef>;

  // Registers the runtime class on first use.
  static Class objcClass();

  ~ColorPillView() override;

  // The colour index of the two-colour cycles: 0 or 1 after each step.
  NSUInteger colorNum() const { return _colorNum; }
  void setColorNum(NSUInteger colorNum) { _colorNum = colorNum; }
  // The spectrum's current hue, in whole degrees.
  NSUInteger currentHueNum() const { return _currentHueNum; }
  void setCurrentHueNum(NSUInteger currentHueNum) { _currentHueNum = currentHueNum; }
  // The hue palette, which the wave turns in place.
  const std::shared_ptr<Palette>& colors() const { return _colors; }
  void setColors(std::shared_ptr<Palette> colors) { _colors = std::move(colors); }
  // The wave's latest timer.
  std::shared_ptr<NSTimer> timer() const { return _timer; }
  void setTimer(std::shared_ptr<NSTimer> timer) { _timer = std::move(timer); }

  // The backing layer, which +layerClass makes a gradient layer.
  CAGradientLayer* gradientLayer() const { return objc_cast<CAGradientLayer>(layer()); }

  // Style operations. Each returns at once; its work runs later on the main
  // thread (staticView paints at once and leaves nothing behind).
  void animateView();
  void staticView();
  void specturmView();
  void waveView();
  // As an animation delegate: starts the wave, whatever `finished` says.
  void animationDidStop(id animation, bool finished);
  void breathingView();
  void fadeView();

 private:
  // -initWithFrame:, overriding UIView's and calling it first.
  static id initWithFrameImp(id self, SEL sel, CGRect frame);
  static Class registerClass();

  // Destroyed in reverse order: the timer reference goes before the palette.
  NSUInteger _colorNum = 0;
  NSUInteger _currentHueNum = 0;
  std::shared_ptr<Palette> _colors;
  std::shared_ptr<NSTimer> _timer;
};
