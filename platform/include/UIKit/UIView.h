// UIView: a rectangle of the interface, with a frame, bounds, tag, alpha,
// background colour, an ordered list of subviews and one backing layer.
//
// Views are only made through UIView::make (alloc, then initWithFrame: sent
// through the runtime), so every view is owned by a shared_ptr from birth and
// gets the layer class its class answers to +layerClass:
//
//   std::shared_ptr<UIView> pill = UIView::make(objc_getClass("MTStaticColorPillView"), frame);
//   window->addSubview(pill);
//
// Ownership: a view owns its subviews and its layer; its superview is a weak
// reference. Removing a view from its superview drops the superview's reference.
//
// Layout: a new view starts out needing layout; setNeedsLayout, a frame size
// change, addSubview: (on the receiver) and addConstraints: mark it again. The
// main run loop lays marked views out at its next turn ("soon");
// layoutIfNeeded lays out the receiver's marked subtree at once ("now").
// Either way layoutSubviews is sent through the runtime, so replacing it
// changes what the layout machinery calls.
//
// Background: a view's background colour is its layer's. Outside an
// animations block it shows at once; inside one it animates.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIColor.h"
#include "aurora/OnceFunction.h"
#include "objc/runtime.h"

class UIView : public NSObject {
 public:
  static Class objcClass();

  // alloc + initWithFrame:. nullptr when the initialiser returned nil.
  static std::shared_ptr<UIView> make(Class cls, CGRect frame);
  template <class T>
  static std::shared_ptr<T> make(CGRect frame) {
    auto view = make(T::objcClass(), frame);
    return view ? std::static_pointer_cast<T>(view) : nullptr;
  }

  CGRect frame() const { return frame_; }
  void setFrame(CGRect frame);
  CGRect bounds() const { return {{0, 0}, frame_.size}; }

  NSInteger tag() const { return tag_; }
  void setTag(NSInteger tag);
  CGFloat alpha() const { return alpha_; }
  void setAlpha(CGFloat alpha);
  UIColorRef backgroundColor() const;
  void setBackgroundColor(const UIColorRef& color);
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips);
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates);

  CALayer* layer() const { return layer_.get(); }

  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  std::shared_ptr<UIView> superview() const { return superview_.lock(); }
  // In front of the existing subviews. A view that has a superview leaves it first.
  void addSubview(const std::shared_ptr<UIView>& view);
  void removeFromSuperview();
  // The receiver if it has the tag, else the first match depth-first through
  // the subviews in order; nullptr when none.
  UIView* viewWithTag(NSInteger tag);

  // They hold from the next layout pass on (see UIKit/NSLayoutConstraint.h).
  void addConstraints(const NSLayoutConstraintList& constraints);
  const NSLayoutConstraintList& constraints() const { return constraints_; }

  void setNeedsLayout();
  void layoutIfNeeded();
  // The run loop's pass: this view alone, if it is still marked. True if it ran.
  bool layoutIfMarked();

  // Animates the background colour changes made inside `animations` over
  // `seconds`, then runs `completion(finished)` once, on the main thread. See
  // aurora/AnimationEngine for the exact rules.
  static void animateWithDuration(double seconds, aurora::OnceClosure animations,
                                  aurora::OnceFunction<void(bool)> completion = nullptr);

  UIView();
  ~UIView() override;

 protected:
  // Implementations of the runtime methods, for subclasses' [super ...]. The
  // base layoutSubviews applies the view's constraints to its subviews.
  static id initWithFrameImp(id self, SEL sel, CGRect frame);
  static void layoutSubviewsImp(id self, SEL sel);
  static Class layerClassImp(Class cls, SEL sel);

  void report(aurora::ViewProperty property, const aurora::PropertyValue& value) const;

 private:
  bool isDescendantOf(const UIView* ancestor) const;

  CGRect frame_{};
  NSInteger tag_ = 0;
  CGFloat alpha_ = 1.0;
  bool clipsToBounds_ = false;
  bool translatesAutoresizingMask_ = true;
  bool needsLayout_ = true;
  bool initialised_ = false;  // reported as made, so reported when destroyed
  std::shared_ptr<CALayer> layer_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  std::weak_ptr<UIView> superview_;
  NSLayoutConstraintList constraints_;
};
