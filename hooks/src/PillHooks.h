// The methods the extension puts into the host's two pill classes, their
// saved implementations, and what the two share: the style dispatch (the
// colour view's tag is the colour view's own: pillview/ColorPillView.h).
//
// The replacements run on the main thread, called by the host's layout
// machinery; the saved implementations are filled once, at load, before any
// replacement can run, and never change.
#pragma once

#include "objc/runtime.h"
#include "pillview/ColorPillView.h"

using InitWithFrameIMP = id (*)(id, SEL, CGRect);
using LayoutSubviewsIMP = void (*)(id, SEL);

// Sends the colour view the style method that `style` names, if any.
void startStyle(ColorPillView* colorView);

namespace staticPill {
extern InitWithFrameIMP savedInitWithFrame;
extern LayoutSubviewsIMP savedLayoutSubviews;
id initWithFrame(id self, SEL sel, CGRect frame);
void layoutSubviews(id self, SEL sel);
}  // namespace staticPill

namespace lumaPill {
extern InitWithFrameIMP savedInitWithFrame;
extern LayoutSubviewsIMP savedLayoutSubviews;
id initWithFrame(id self, SEL sel, CGRect frame);
void layoutSubviews(id self, SEL sel);
// Added to the class: a ten-second blue/red cycle on the pill's colour view.
void animateView(id self, SEL sel);
}  // namespace lumaPill
