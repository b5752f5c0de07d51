// The spectrum style: the whole pill walks round the hue circle, one degree
// per animation (hues 0, 1, ..., 360, 0, ...). Every piece of pending work
// holds the view weakly, so a destroyed view ends the chain.
#include <memory>

#include "dispatch/dispatch.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace {

constexpr NSUInteger kLastHue = 360;

void paintCurrentHue(ColorPillView& view) {
  const float hue = static_cast<float>(view.currentHueNum()) / 360.0f;
  view.layer()->setBackgroundColor(UIColor::initWithHue(hue, 1.0, 1.0, 1.0)->CGColor());
}

// Wraps after 360 has been shown, so red stands for two steps at each turn.
void advanceHue(ColorPillView& view) {
  view.setCurrentHueNum(view.currentHueNum() + 1);
  if (view.currentHueNum() > kLastHue) view.setCurrentHueNum(0);
}

}  // namespace

void ColorPillView::specturmView() {
  std::weak_ptr<ColorPillView> weakView = objc_retain(this);
  dispatch_async(dispatch_get_main_queue(), [weakView] {
    UIView::animateWithDuration(
        settings::specturmSpeed,
        [weakView] {
          if (auto view = weakView.lock()) paintCurrentHue(*view);
        },
        [weakView](bool /*finished*/) {
          if (auto view = weakView.lock()) {
            advanceHue(*view);
            objc_msgSend<void>(view.get(), aurora::objc::selector<"specturmView">());
          }
        });
  });
}
