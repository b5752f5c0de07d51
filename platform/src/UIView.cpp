#include "UIKit/UIView.h"

#include <algorithm>
#include <stdexcept>

#include "CensusCounters.h"
#include "Foundation/NSRunLoop.h"
#include "LayoutScheduler.h"
#include "QuartzCore/CAGradientLayer.h"
#include "aurora/MainThread.h"

namespace {

using aurora::objc::selector;
constexpr auto initWithFrameSel = &selector<"initWithFrame:">;
constexpr auto layoutSubviewsSel = &selector<"layoutSubviews">;
constexpr auto layerClassSel = &selector<"layerClass">;

}  // namespace

Class UIView::objcClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("UIView", NSObject::objcClass(),
                                 [] { return std::static_pointer_cast<NSObject>(std::make_shared<UIView>()); });
    class_addMethod(c, initWithFrameSel(), &UIView::initWithFrameImp, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
    class_addMethod(c, layoutSubviewsSel(), &UIView::layoutSubviewsImp, "v@:");
    class_addClassMethod(c, layerClassSel(), &UIView::layerClassImp);
    return c;
  }();
  return cls;
}

std::shared_ptr<UIView> UIView::make(Class cls, CGRect frame) {
  aurora::requireMainThread("UIView::make");
  std::shared_ptr<NSObject> object = class_createInstance(cls);
  auto* view = objc_cast<UIView>(object.get());
  if (view == nullptr) throw std::invalid_argument(std::string(class_getName(cls)) + " is not a view class");

  Class layerClass = objc_msgSendClass<Class>(cls, layerClassSel());
  std::shared_ptr<NSObject> layerObject = class_createInstance(layerClass);
  if (objc_cast<CALayer>(layerObject.get()) == nullptr) {
    throw std::invalid_argument(std::string("+[") + class_getName(cls) + " layerClass] is not a layer class");
  }
  view->layer_ = std::static_pointer_cast<CALayer>(layerObject);
  view->layer_->view_ = view;

  auto* initialised = objc_cast<UIView>(objc_msgSend<id>(view, initWithFrameSel(), frame));
  if (initialised == nullptr) return nullptr;
  std::shared_ptr<UIView> made = objc_retain(initialised);
  NSRunLoop::mainRunLoop().layout().mark(*made);
  return made;
}

id UIView::initWithFrameImp(id self, SEL, CGRect frame) {
  auto* view = static_cast<UIView*>(self);
  view->frame_ = frame;
  view->initialised_ = true;
  aurora::tellObservers(&aurora::PlatformObserver::viewCreated, *view);
  return self;
}

void UIView::layoutSubviewsImp(id self, SEL) {
  auto* view = static_cast<UIView*>(self);
  std::vector<std::shared_ptr<UIView>> placed;
  for (const auto& constraint : view->constraints_) {
    auto item = constraint->item();
    if (!item || item->superview().get() != view || std::find(placed.begin(), placed.end(), item) != placed.end())
      continue;
    placed.push_back(item);
    item->setFrame(NSLayoutFrameForConstraints(*item, view->constraints_, view->bounds()));
  }
}

void UIView::addConstraints(const NSLayoutConstraintList& constraints) {
  constraints_.insert(constraints_.end(), constraints.begin(), constraints.end());
  if (aurora::platformObserved()) {
    aurora::tellObservers(&aurora::PlatformObserver::constraintsAdded, *this,
                          constraints.empty() ? std::string_view{} : constraints.front()->format(), constraints.size());
  }
  setNeedsLayout();
}

Class UIView::layerClassImp(Class, SEL) { return CALayer::objcClass(); }

UIView::UIView() { ++aurora::census::liveViews; }

UIView::~UIView() {
  --aurora::census::liveViews;
  if (initialised_) aurora::tellObservers(&aurora::PlatformObserver::viewDestroyed, *this);
  if (layer_) layer_->view_ = nullptr;
}

void UIView::report(aurora::ViewProperty property, const aurora::PropertyValue& value) const {
  aurora::tellObservers(&aurora::PlatformObserver::propertySet, *this, property, value, 0);
}

void UIView::setFrame(CGRect frame) {
  const bool resized = frame.size != frame_.size;
  frame_ = frame;
  report(aurora::ViewProperty::Frame, frame);
  if (resized) setNeedsLayout();
}

void UIView::setTag(NSInteger tag) {
  tag_ = tag;
  report(aurora::ViewProperty::Tag, tag);
}

void UIView::setAlpha(CGFloat alpha) {
  alpha_ = alpha;
  report(aurora::ViewProperty::Alpha, alpha);
}

UIColorRef UIView::backgroundColor() const {
  const CGColorRef& color = layer_->backgroundColor();
  return color ? std::make_shared<const UIColor>(color->components()) : nullptr;
}

void UIView::setBackgroundColor(const UIColorRef& color) {
  layer_->applyBackgroundColor(color ? color->CGColor() : nullptr, aurora::ViewProperty::BackgroundColor);
}

void UIView::setClipsToBounds(bool clips) {
  clipsToBounds_ = clips;
  report(aurora::ViewProperty::ClipsToBounds, clips);
}

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
  translatesAutoresizingMask_ = translates;
  report(aurora::ViewProperty::TranslatesAutoresizingMaskIntoConstraints, translates);
}

bool UIView::isDescendantOf(const UIView* ancestor) const {
  for (const UIView* v = this; v != nullptr; v = v->superview_.lock().get()) {
    if (v == ancestor) return true;
  }
  return false;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  aurora::requireMainThread("-[UIView addSubview:]");
  if (!view) return;
  if (isDescendantOf(view.get()))
    throw std::invalid_argument("addSubview: a view cannot be added to itself or its own subview");
  if (view->superview_.lock().get() == this) {
    std::erase(subviews_, view);  // already ours: just brought to the front
  } else {
    view->removeFromSuperview();
  }
  subviews_.push_back(view);
  view->superview_ = std::static_pointer_cast<UIView>(shared_from_this());
  aurora::tellObservers(&aurora::PlatformObserver::subviewAdded, *this, *view);
  setNeedsLayout();
}

void UIView::removeFromSuperview() {
  auto parent = superview_.lock();
  if (!parent) return;
  auto self = std::static_pointer_cast<UIView>(shared_from_this());  // the parent may hold the last reference
  std::erase(parent->subviews_, self);
  superview_.reset();
  aurora::tellObservers(&aurora::PlatformObserver::viewRemoved, *this);
}

UIView* UIView::viewWithTag(NSInteger tag) {
  if (tag_ == tag) return this;
  for (const auto& subview : subviews_) {
    if (UIView* found = subview->viewWithTag(tag)) return found;
  }
  return nullptr;
}

void UIView::setNeedsLayout() {
  if (needsLayout_) return;
  needsLayout_ = true;
  NSRunLoop::mainRunLoop().layout().mark(*this);
}

bool UIView::layoutIfMarked() {
  if (!needsLayout_) return false;
  needsLayout_ = false;
  objc_msgSend<void>(this, layoutSubviewsSel());
  return true;
}

void UIView::layoutIfNeeded() {
  aurora::requireMainThread("-[UIView layoutIfNeeded]");
  layoutIfMarked();
  const auto children = subviews_;  // a pass may change the list
  for (const auto& child : children) child->layoutIfNeeded();
}
