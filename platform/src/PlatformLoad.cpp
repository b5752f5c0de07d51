// What happens when the platform library loads: the main run loop is made on
// the loading (main) thread and the built-in classes are registered, so that
// objc_getClass finds them before anything has asked for them by type.
#include "Foundation/NSRunLoop.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIView.h"

namespace {

[[gnu::constructor]] void loadPlatform() {
  NSRunLoop::mainRunLoop();
  NSObject::objcClass();
  UIView::objcClass();
  CALayer::objcClass();
  CAGradientLayer::objcClass();
}

}  // namespace
