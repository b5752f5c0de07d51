#include "StyledPill.h"

#include <stdexcept>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"
#include "host/HostPillClasses.h"
#include "host/Scene.h"

namespace bench {

StyledPill makeStyledPill(const std::string& style) {
  applyPreferences({{settings::key::style.name, style}});
  resetRunLoop();
  std::shared_ptr<UIView> pill = UIView::make(objc_getClass(host::kStaticPillClass), host::kStaticPillFrame);
  runInstantAt(NSRunLoop::mainRunLoop().now());
  auto* colorView = objc_cast<ColorPillView>(pill->viewWithTag(colorViewTag));
  if (colorView == nullptr) throw std::runtime_error("the extension made no colour view in the " + style + " style");
  return {std::move(pill), colorView};
}

}  // namespace bench
