#include "TwoColorCycle.h"

#include <memory>

#include "dispatch/dispatch.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace pillview {

void beginTwoColorStep(ColorPillView& view, const TwoColorCycle& cycle) {
  view.setColorNum(view.colorNum() + 1);
  view.setColorNum(view.colorNum() % settings::totalColors);
  UIColorRef target = view.colorNum() == 1 ? cycle.colorAtIndexOne() : cycle.colorAtIndexZero();

  std::weak_ptr<ColorPillView> weakView = objc_retain(&view);
  dispatch_async(dispatch_get_main_queue(), [target = std::move(target), weakView, cycle]() mutable {
    UIView::animateWithDuration(
        cycle.stepSeconds(),
        [target = std::move(target), weakView] {
          if (auto strongView = weakView.lock()) strongView->layer()->setBackgroundColor(target->CGColor());
        },
        [weakView, nextStep = cycle.nextStep()](bool /*finished*/) {
          if (auto strongView = weakView.lock()) objc_msgSend<void>(strongView.get(), nextStep);
        });
  });
}

}  // namespace pillview
