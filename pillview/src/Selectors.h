// The selectors of ColorPillView's own methods, registered once each. The
// styles send their next step through the runtime, so a replaced method is
// what they reach.
#pragma once

#include "objc/runtime.h"

namespace pillview::selectors {

inline SEL initWithFrame() {
  static const SEL sel = sel_registerName("initWithFrame:");
  return sel;
}
inline SEL animateView() {
  static const SEL sel = sel_registerName("animateView");
  return sel;
}
inline SEL staticView() {
  static const SEL sel = sel_registerName("staticView");
  return sel;
}
inline SEL specturmView() {
  static const SEL sel = sel_registerName("specturmView");
  return sel;
}
inline SEL waveView() {
  static const SEL sel = sel_registerName("waveView");
  return sel;
}
inline SEL animationDidStopFinished() {
  static const SEL sel = sel_registerName("animationDidStop:finished:");
  return sel;
}
inline SEL breathingView() {
  static const SEL sel = sel_registerName("breathingView");
  return sel;
}
inline SEL fadeView() {
  static const SEL sel = sel_registerName("fadeView");
  return sel;
}

}  // namespace pillview::selectors
