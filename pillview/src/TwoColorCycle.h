// The step shared by the two-colour cycles (animateView, fadeView,
// breathingView). A step advances colorNum (1, 0, 1, ... from 0), picks its
// target colour from the settings there and then, and queues the animation to
// it on the main queue; the animation's completion sends the cycle's method
// again. The queued task and the animations block hold the chosen colour and
// the view weakly, the completion the view weakly only, so a setting changed
// later does not alter a picked step and a destroyed view ends the chain.
//
// Main thread only.
#pragma once

#include "UIKit/UIColor.h"
#include "objc/runtime.h"

class ColorPillView;

namespace pillview {

// What sets one cycle apart from another.
struct TwoColorCycle {
  // The targets for colorNum 0 and 1, read when a step is picked.
  UIColorRef (*colorAtIndexZero)();
  UIColorRef (*colorAtIndexOne)();
  // Seconds per step, read when the queued task runs.
  double (*stepSeconds)();
  // The method the completion sends to begin the next step.
  SEL (*nextStep)();
};

void beginTwoColorStep(ColorPillView& view, const TwoColorCycle& cycle);

}  // namespace pillview
