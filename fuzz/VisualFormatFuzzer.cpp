// Visual-format strings: constraintsWithVisualFormat either refuses a format
// with std::invalid_argument or gives the two edge constraints of one bound
// view, with finite gaps that lay the view out inside its superview's edges.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "FuzzCheck.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIView.h"

namespace {

// Made once, on the main thread (libFuzzer calls back on the thread that started it).
struct Views {
  std::shared_ptr<UIView> superview = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 134, 5));
  std::shared_ptr<UIView> colorView = UIView::make(UIView::objcClass(), CGRectMake(3, 1, 20, 2));
  NSLayoutViewBindings bindings{{"colorView", colorView}, {"v", superview}};
  Views() { superview->addSubview(colorView); }
};

const Views& views() {
  static const Views* const made = new Views();
  return *made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view format(reinterpret_cast<const char*>(data), size);
  const Views& v = views();
  NSLayoutConstraintList constraints;
  try {
    constraints = NSLayoutConstraint::constraintsWithVisualFormat(format, 0, nullptr, v.bindings);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  FUZZ_CHECK(constraints.size() == 2);
  for (const auto& constraint : constraints) {
    FUZZ_CHECK(constraint->item() != nullptr && constraint->format() == format);
    FUZZ_CHECK(std::isfinite(constraint->constant()) && constraint->constant() >= 0);
  }
  const CGRect frame = NSLayoutFrameForConstraints(*constraints[0]->item(), constraints, v.superview->bounds());
  FUZZ_CHECK(std::isfinite(frame.origin.x) && std::isfinite(frame.origin.y));
  FUZZ_CHECK(std::isfinite(frame.size.width) && std::isfinite(frame.size.height));
  return 0;
}
