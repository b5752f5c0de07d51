#include "settings/Settings.h"

#include "settings/LoadOrder.h"

// Constant-initialised, so no dynamic initialiser can run after the load-time
// functions and undo what they set. The two strings are the exception: not
// every compiler can constant-evaluate std::string (clang 14 with libstdc++ 12
// cannot), so they are built before the load-time functions
// (settings/LoadOrder.h, hooks/src/Load.cpp).
namespace settings {

constinit bool enabled = key::enabled.initial;
[[gnu::init_priority(load::kBeforeExtension)]] std::string style;
constinit UIColorRef firstColor;
constinit UIColorRef secondColor;
constinit UIColorRef breathingColor;
constinit UIColorRef staticColor;
constinit CGFloat waveSpeed = key::waveAnimationSpeed.initial;
constinit CGFloat waveOpacity = key::waveOpacity.initial;
constinit CGFloat specturmSpeed = key::specturmAnimationSpeed.initial;
constinit CGFloat specturmOpacity = key::specturmOpacity.initial;
constinit CGFloat homeBarOpacity = key::homeBarOpacity.initial;
constinit CGFloat breathingSpeed = key::breathingSpeed.initial;
constinit CGFloat fadeSpeed = key::fadeSpeed.initial;
[[gnu::init_priority(load::kBeforeExtension)]] std::string waveDirection;

namespace {

UIColorRef systemColor(SystemColor color) {
  return color == SystemColor::Red ? UIColor::redColor() : UIColor::blueColor();
}

}  // namespace

void assignInitialValues() {
  enabled = key::enabled.initial;
  style = key::style.initial;
  firstColor = systemColor(key::fadeColor1.initial);
  secondColor = systemColor(key::fadeColor2.initial);
  breathingColor = systemColor(key::breathingColor.initial);
  staticColor = systemColor(key::staticColor.initial);
  waveSpeed = key::waveAnimationSpeed.initial;
  waveOpacity = key::waveOpacity.initial;
  specturmSpeed = key::specturmAnimationSpeed.initial;
  specturmOpacity = key::specturmOpacity.initial;
  homeBarOpacity = key::homeBarOpacity.initial;
  breathingSpeed = key::breathingSpeed.initial;
  fadeSpeed = key::fadeSpeed.initial;
  waveDirection = key::waveDirection.initial;
}

}  // namespace settings
