// The one-second two-colour cycle (animateView), the static style and the
// animation-delegate entry.
#include "TwoColorCycle.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

void ColorPillView::animateView() {
  static constexpr pillview::TwoColorCycle oneSecondCycle{
      .colorAtIndexZero = [] { return settings::firstColor; },
      .colorAtIndexOne = [] { return settings::secondColor; },
      .stepSeconds = [] { return 1.0; },
      .nextStep = &aurora::objc::selector<"animateView">,
  };
  pillview::beginTwoColorStep(*this, oneSecondCycle);
}

void ColorPillView::staticView() { layer()->setBackgroundColor(settings::staticColor->CGColor()); }

void ColorPillView::animationDidStop(id /*animation*/, bool /*finished*/) {
  objc_msgSend<void>(this, aurora::objc::selector<"waveView">());
}
