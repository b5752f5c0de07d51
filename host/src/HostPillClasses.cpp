#include "host/HostPillClasses.h"

#include <algorithm>
#include <utility>

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"
#include "objc/runtime.h"

namespace host {
namespace {

// Per class: its grey. The static pill is a touch lighter than the luma-dodge one.
constexpr std::array<double, kHostPillClassNames.size()> kGrey = {0.92, 0.85};

std::array<Class, kHostPillClassNames.size()> gClasses{};

template <std::size_t I>
id initWithFrame(id self, SEL sel, CGRect frame) {
  id initialised = objc_msgSendSuper<id>(gClasses[I], self, sel, frame);
  if (auto* pill = objc_cast<UIView>(initialised))
    pill->setBackgroundColor(UIColor::colorWithRed(kGrey[I], kGrey[I], kGrey[I], 1.0));
  return initialised;
}

template <std::size_t I>
void layoutSubviews(id self, SEL sel) {
  objc_msgSendSuper<void>(gClasses[I], self, sel);
  auto* pill = static_cast<UIView*>(self);
  pill->layer()->setCornerRadius(pill->bounds().size.height / 2);
}

template <std::size_t I>
void plainLayoutSubviews(id self, SEL sel) {
  objc_msgSendSuper<void>(gClasses[I], self, sel);
}

template <std::size_t I>
void registerClass(PillDrawing drawing) {
  Class cls = objc_registerClass(kHostPillClassNames[I], UIView::objcClass());
  gClasses[I] = cls;
  const SEL layout = sel_registerName("layoutSubviews");
  if (drawing == PillDrawing::None) {
    class_addMethod(cls, layout, &plainLayoutSubviews<I>, "v@:");
    return;
  }
  class_addMethod(cls, sel_registerName("initWithFrame:"), &initWithFrame<I>, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  class_addMethod(cls, layout, &layoutSubviews<I>, "v@:");
}

template <std::size_t... I>
std::vector<std::string> registerAll(const std::vector<std::string>& leftOut, PillDrawing drawing,
                                     std::index_sequence<I...>) {
  std::vector<std::string> registered;
  auto one = [&]<std::size_t N>(std::integral_constant<std::size_t, N>) {
    if (std::find(leftOut.begin(), leftOut.end(), kHostPillClassNames[N]) != leftOut.end()) return;
    registerClass<N>(drawing);
    registered.emplace_back(kHostPillClassNames[N]);
  };
  (one(std::integral_constant<std::size_t, I>{}), ...);
  return registered;
}

}  // namespace

std::vector<std::string> registerHostPillClasses(const std::vector<std::string>& leftOut, PillDrawing drawing) {
  return registerAll(leftOut, drawing, std::make_index_sequence<kHostPillClassNames.size()>{});
}

}  // namespace host
