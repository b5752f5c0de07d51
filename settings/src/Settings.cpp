#include "settings/Settings.h"

// Constant-initialised, so no dynamic initialiser can run after the load-time
// functions and undo what they set. The two strings are the exception: not
// every compiler can constant-evaluate std::string (clang 14 with libstdc++ 12
// cannot), so they are built at priority 101, before the load-time functions
// (hooks/src/Load.cpp, from 102 on).
namespace settings {

constinit bool enabled = false;
[[gnu::init_priority(101)]] std::string style;
constinit UIColorRef firstColor;
constinit UIColorRef secondColor;
constinit UIColorRef breathingColor;
constinit UIColorRef staticColor;
constinit CGFloat waveSpeed = 0.05;
constinit CGFloat waveOpacity = 1.0;
constinit CGFloat specturmSpeed = 0.1;
constinit CGFloat specturmOpacity = 1.0;
constinit CGFloat homeBarOpacity = 1.0;
constinit CGFloat breathingSpeed = 10.0;
constinit CGFloat fadeSpeed = 10.0;
[[gnu::init_priority(101)]] std::string waveDirection;

void assignInitialValues() {
  enabled = false;
  style = "Wave";
  firstColor = UIColor::blueColor();
  secondColor = UIColor::redColor();
  breathingColor = UIColor::blueColor();
  staticColor = UIColor::blueColor();
  waveSpeed = 0.05;
  waveOpacity = 1.0;
  specturmSpeed = 0.1;
  specturmOpacity = 1.0;
  homeBarOpacity = 1.0;
  breathingSpeed = 10.0;
  fadeSpeed = 10.0;
  waveDirection = "l2r";
}

}  // namespace settings
