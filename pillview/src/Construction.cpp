// -[ColorPillView initWithFrame:]: the first colour by style, the gradient
// axis and the hue palette. Construction starts no animation, task or timer.
#include <string>

#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

namespace {

// The colour the selected style starts from, or nothing for a name that is no
// style (the static colour then stays).
UIColorRef startingColor(const std::string& style, NSUInteger currentHueNum) {
  if (style == settings::kWave || style == settings::kSpectrum) {
    return UIColor::initWithHue(static_cast<float>(currentHueNum) / 360.0f, 1.0, 1.0, 1.0);
  }
  if (style == settings::kFade) return settings::firstColor;
  if (style == settings::kBreathing) return settings::breathingColor;
  if (style == settings::kStatic) return settings::staticColor;
  return nullptr;
}

void buildHuePalette(ColorPillView::Palette& palette) {
  // A CGFloat counter takes 0.0, 1.0, ... 360.0 exactly: 361 entries, both ends red.
  for (CGFloat h = 0.0; h <= 360.0; h += 1.0) {
    palette.addObject(UIColor::colorWithHue(h / 360.0, 1.0, 1.0, 1.0)->CGColor());
  }
}

}  // namespace

id ColorPillView::initWithFrameImp(id self, SEL sel, CGRect frame) {
  auto* view = objc_cast<ColorPillView>(objc_msgSendSuper<id>(ColorPillView::objcClass(), self, sel, frame));
  if (view == nullptr) return nullptr;

  view->setColorNum(0);
  view->setCurrentHueNum(0);
  CAGradientLayer* layer = view->gradientLayer();
  layer->setBackgroundColor(settings::staticColor->CGColor());
  if (UIColorRef color = startingColor(settings::style, view->currentHueNum())) {
    layer->setBackgroundColor(color->CGColor());
  }

  layer->setStartPoint(CGPointMake(0.0, 0.5));
  layer->setEndPoint(CGPointMake(1.0, 0.5));

  view->setColors(Palette::array());
  buildHuePalette(*view->colors());
  return view;
}
