// The breathing and fade styles: two-colour cycles whose step lasts a setting.
#include "TwoColorCycle.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

void ColorPillView::breathingView() {
  // Out to the same colour fully transparent and back: the hue never changes.
  static constexpr pillview::TwoColorCycle breathing{
      .colorAtIndexZero = [] { return settings::breathingColor; },
      .colorAtIndexOne = [] { return settings::breathingColor->colorWithAlphaComponent(0.0); },
      .stepSeconds = [] { return settings::breathingSpeed; },
      .nextStep = &aurora::objc::selector<"breathingView">,
  };
  pillview::beginTwoColorStep(*this, breathing);
}

void ColorPillView::fadeView() {
  static constexpr pillview::TwoColorCycle fade{
      .colorAtIndexZero = [] { return settings::firstColor; },
      .colorAtIndexOne = [] { return settings::secondColor; },
      .stepSeconds = [] { return settings::fadeSpeed; },
      .nextStep = &aurora::objc::selector<"fadeView">,
  };
  pillview::beginTwoColorStep(*this, fade);
}
