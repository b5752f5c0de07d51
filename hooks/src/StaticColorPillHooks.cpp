#include "PillHooks.h"
#include "UIKit/UIView.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace staticPill {

constinit InitWithFrameIMP savedInitWithFrame = nullptr;
constinit LayoutSubviewsIMP savedLayoutSubviews = nullptr;

id initWithFrame(id self, SEL sel, CGRect frame) { return savedInitWithFrame(self, sel, frame); }

namespace {

void makeColorView(UIView& pill) {
  settings::refreshPrefs();
  auto colorView = UIView::make<ColorPillView>(pill.bounds());
  if (colorView) {
    colorView->setTag(colorViewTag);
    colorView->layer()->setCornerRadius(pill.bounds().size.height / 2);
    colorView->setBackgroundColor(UIColor::redColor());
    colorView->setColorNum(0);
    pill.addSubview(colorView);
    startStyle(colorView.get());
  }
  pill.setAlpha(settings::homeBarOpacity);
}

// Size follows the pill's frame; the origin stays where it is.
void fitColorView(UIView& pill, UIView& colorView) {
  CGRect frame = colorView.frame();
  frame.size.height = pill.frame().size.height;
  frame.size.width = pill.frame().size.width;
  colorView.layer()->setCornerRadius(pill.frame().size.height / 2);
  colorView.setFrame(frame);
}

}  // namespace

void layoutSubviews(id self, SEL sel) {
  savedLayoutSubviews(self, sel);
  if (!settings::enabled) return;
  auto* pill = objc_cast<UIView>(self);
  if (pill == nullptr) return;
  if (UIView* colorView = pill->viewWithTag(colorViewTag)) {
    fitColorView(*pill, *colorView);
  } else {
    makeColorView(*pill);
  }
}

}  // namespace staticPill
