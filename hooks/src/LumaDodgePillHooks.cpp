#include "PillHooks.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIView.h"
#include "dispatch/dispatch.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace lumaPill {

constinit InitWithFrameIMP savedInitWithFrame = nullptr;
constinit LayoutSubviewsIMP savedLayoutSubviews = nullptr;

id initWithFrame(id self, SEL sel, CGRect frame) { return savedInitWithFrame(self, sel, frame); }

namespace {

void pinToEdges(UIView& pill, const std::shared_ptr<ColorPillView>& colorView, const char* format) {
  auto views = _NSDictionaryOfVariableBindings("colorView", {colorView.get()});
  pill.addConstraints(NSLayoutConstraint::constraintsWithVisualFormat(format, 0, nullptr, views));
}

void makeColorView(UIView& pill) {
  settings::refreshPrefs();
  pill.setClipsToBounds(true);
  auto colorView = UIView::make<ColorPillView>(pill.bounds());
  if (colorView) {
    colorView->setTag(colorViewTag);
    colorView->setColorNum(0);
    pill.addSubview(colorView);
    startStyle(colorView.get());
  }
  pill.setAlpha(settings::homeBarOpacity);
  if (colorView) {
    colorView->setTranslatesAutoresizingMaskIntoConstraints(false);
    pinToEdges(pill, colorView, "H:|-0-[colorView]-0-|");
    pinToEdges(pill, colorView, "V:|-0-[colorView]-0-|");
  }
}

}  // namespace

void layoutSubviews(id self, SEL sel) {
  savedLayoutSubviews(self, sel);
  if (!settings::enabled) return;
  auto* pill = objc_cast<UIView>(self);
  if (pill == nullptr) return;
  if (UIView* colorView = pill->viewWithTag(colorViewTag)) {
    colorView->layer()->setCornerRadius(pill->frame().size.height / 2);  // the constraints place it
  } else {
    makeColorView(*pill);
  }
}

void animateView(id self, SEL) {
  auto* pill = objc_cast<UIView>(self);
  // Another view may carry the tag, or none: then there is nothing to paint
  // and the cycle ends here.
  auto* found = pill ? objc_cast<ColorPillView>(pill->viewWithTag(colorViewTag)) : nullptr;
  if (found == nullptr) return;
  std::shared_ptr<ColorPillView> colorView = objc_retain(found);
  UIColorRef color;
  if (colorView->colorNum() == 1) {
    color = UIColor::redColor();
    colorView->setColorNum(0);
  } else {
    color = UIColor::blueColor();
    colorView->setColorNum(1);
  }
  std::weak_ptr<UIView> weakPill = objc_retain(pill);
  dispatch_async(dispatch_get_main_queue(), [colorView, color, weakPill] {
    UIView::animateWithDuration(
        10.0, [colorView, color] { colorView->setBackgroundColor(color); },
        [colorView, color, weakPill](bool) {
          colorView->setBackgroundColor(color);
          if (auto pill = weakPill.lock()) pill->performSelector(aurora::objc::selector<"animateView">());
        });
  });
}

}  // namespace lumaPill
