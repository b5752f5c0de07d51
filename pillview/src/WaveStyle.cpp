// The wave style: a repeating timer turns the hue palette by one entry per
// tick and the gradient shows its first sixth, 60 neighbouring hues.
//
// The tick holds the view weakly: a view that is gone stops the timer it
// ticked for, and the view's destructor stops its latest timer, so neither
// outlives the view (a timer holding the view strongly never would). The
// queued update may hold it strongly; it is short-lived.
#include <memory>
#include <string>
#include <vector>

#include "Foundation/NSRunLoop.h"
#include "dispatch/dispatch.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace {

// "l2r": colours move right and enter at the left edge; "r2l" the reverse;
// any other direction stands still.
void turnPalette(ColorPillView::Palette& palette, const std::string& direction) {
  if (palette.count() == 0) return;
  if (direction == settings::kLeftToRight) {
    CGColorRef last = palette.lastObject();
    palette.removeLastObject();
    palette.insertObject(std::move(last), 0);
  } else if (direction == settings::kRightToLeft) {
    CGColorRef first = palette.firstObject();
    palette.removeObjectAtIndex(0);
    palette.addObject(std::move(first));
  }
}

// A palette that was taken away reads as an empty one, as a message to nil would.
void updateWave(ColorPillView& view) {
  std::vector<CGColorRef> shown;
  if (const std::shared_ptr<ColorPillView::Palette>& palette = view.colors()) {
    turnPalette(*palette, settings::waveDirection);
    shown = palette->subarrayWithRange(0, palette->count() / 6);
  }
  CAGradientLayer* layer = view.gradientLayer();
  layer->setColors(std::move(shown));
  layer->setDrawsAsynchronously(true);
}

}  // namespace

void ColorPillView::waveView() {
  std::weak_ptr<ColorPillView> weakView = objc_retain(this);
  setTimer(NSTimer::timerWithTimeInterval(settings::waveSpeed, true, [weakView](NSTimer& tick) {
    std::shared_ptr<ColorPillView> view = weakView.lock();
    if (!view) {
      tick.invalidate();
      return;
    }
    dispatch_async(dispatch_get_main_queue(), [view = std::move(view)] { updateWave(*view); });
  }));
  NSRunLoop::mainRunLoop().addTimer(timer(), NSDefaultRunLoopMode);
  timer()->fire();
}
