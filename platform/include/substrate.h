// Method replacement, as the platform's hooking library offers it.
//
// MSHookMessageEx puts `replacement` in place of the method `sel` of `cls` and
// stores the implementation the class answered before in `*result`, before the
// replacement can first run; calling it with the receiver, the selector and the
// arguments does what the method did before. Hooking a method the class only
// inherits gives the class its own entry, and the saved implementation then
// calls whatever the superclass answers at the time of the call.
//
//   static void (*savedLayoutSubviews)(id, SEL);
//   static void layoutSubviewsHook(id self, SEL sel) { savedLayoutSubviews(self, sel); ... }
//   MSHookMessageEx(objc_getClass("MTStaticColorPillView"), sel_registerName("layoutSubviews"),
//                   &layoutSubviewsHook, &savedLayoutSubviews);
//
// Given no class it does nothing. The replacement's C++ type must match the
// method's encoding (else aurora::objc::SignatureMismatch). Main thread only.
#pragma once

#include "objc/runtime.h"

template <class R, class... A>
void MSHookMessageEx(Class cls, SEL sel, R (*replacement)(id, SEL, A...), R (**result)(id, SEL, A...)) {
  using Call = aurora::objc::detail::InheritedCall<R, A...>;
  aurora::objc::hookMethod(cls, sel, reinterpret_cast<IMP>(replacement), aurora::objc::methodEncoding<R, id, A...>(),
                           reinterpret_cast<IMP*>(result), &Call::claim);
}
