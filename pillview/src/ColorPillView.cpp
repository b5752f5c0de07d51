// The runtime class "ColorPillView": its methods, in the order of the class's
// method list, each forwarding to the C++ member; and the view's destruction.
#include "pillview/ColorPillView.h"

namespace {

ColorPillView* receiver(id self) { return static_cast<ColorPillView*>(self); }

template <void (ColorPillView::*Style)()>
void styleImp(id self, SEL) {
  (receiver(self)->*Style)();
}

void animationDidStopImp(id self, SEL, id animation, bool finished) {
  receiver(self)->animationDidStop(animation, finished);
}

template <NSUInteger (ColorPillView::*Get)() const>
NSUInteger getterImp(id self, SEL) {
  return (receiver(self)->*Get)();
}

template <void (ColorPillView::*Set)(NSUInteger)>
void setterImp(id self, SEL, NSUInteger value) {
  (receiver(self)->*Set)(value);
}

Class gradientLayerClassImp(Class, SEL) { return CAGradientLayer::objcClass(); }

}  // namespace

Class ColorPillView::objcClass() {
  static const Class cls = registerClass();
  return cls;
}

Class ColorPillView::registerClass() {
  using aurora::objc::selector;
  Class cls = objc_registerClass("ColorPillView", UIView::objcClass(),
                                 [] { return std::static_pointer_cast<NSObject>(std::make_shared<ColorPillView>()); });
  class_addMethod(cls, selector<"initWithFrame:">(), &ColorPillView::initWithFrameImp,
                  "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  class_addMethod(cls, selector<"animateView">(), &styleImp<&ColorPillView::animateView>, "v@:");
  class_addMethod(cls, selector<"staticView">(), &styleImp<&ColorPillView::staticView>, "v@:");
  class_addMethod(cls, selector<"specturmView">(), &styleImp<&ColorPillView::specturmView>, "v@:");
  class_addMethod(cls, selector<"waveView">(), &styleImp<&ColorPillView::waveView>, "v@:");
  class_addMethod(cls, selector<"animationDidStop:finished:">(), &animationDidStopImp, "v@:@B");
  class_addMethod(cls, selector<"breathingView">(), &styleImp<&ColorPillView::breathingView>, "v@:");
  class_addMethod(cls, selector<"fadeView">(), &styleImp<&ColorPillView::fadeView>, "v@:");
  class_addMethod(cls, sel_registerName("colorNum"), &getterImp<&ColorPillView::colorNum>, "Q@:");
  class_addMethod(cls, sel_registerName("setColorNum:"), &setterImp<&ColorPillView::setColorNum>, "v@:Q");
  class_addMethod(cls, sel_registerName("currentHueNum"), &getterImp<&ColorPillView::currentHueNum>, "Q@:");
  class_addMethod(cls, sel_registerName("setCurrentHueNum:"), &setterImp<&ColorPillView::setCurrentHueNum>, "v@:Q");
  class_addClassMethod(cls, sel_registerName("layerClass"), &gradientLayerClassImp);
  return cls;
}

// A wave timer holds its view weakly and would otherwise tick on for ever
// after the view is gone: the latest one is stopped here, older ones stop
// themselves at their next tick.
ColorPillView::~ColorPillView() {
  if (_timer) _timer->invalidate();
}
