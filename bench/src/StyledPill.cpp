#include "StyledPill.h"

#include <stdexcept>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"

namespace bench {

StyledPill makeStyledPill(const std::string& style) {
  applyPreferences({{"style", style}});
  resetRunLoop();
  std::shared_ptr<UIView> pill = UIView::make(objc_getClass("MTStaticColorPillView"), CGRectMake(40, 831, 134, 5));
  runInstantAt(NSRunLoop::mainRunLoop().now());
  auto* colorView = objc_cast<ColorPillView>(pill->viewWithTag(colorViewTag));
  if (colorView == nullptr) throw std::runtime_error("the extension made no colour view in the " + style + " style");
  return {std::move(pill), colorView};
}

}  // namespace bench
