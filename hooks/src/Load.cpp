// The load sequence. Three load-time functions, run by the loader in this
// order (settings/LoadOrder.h): the settings take their initial values; the
// library constructor subscribes to the settings-changed notification and
// reads the preferences file; the installation step puts the replacements
// into the pill classes. Everything else in the extension is
// constant-initialised or built before them (settings/src/Settings.cpp), so
// nothing runs after these and undoes them. Nothing here is ever undone.
#include "CoreFoundation/CFNotificationCenter.h"
#include "PillHooks.h"
#include "settings/LoadOrder.h"
#include "settings/Settings.h"
#include "substrate.h"

namespace {

void PreferencesChangedCallback(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
  settings::refreshPrefs();
}

[[gnu::constructor(settings::load::kInitialValues)]] void takeInitialValues() { settings::assignInitialValues(); }

[[gnu::constructor(settings::load::kLibraryConstructor)]] void libraryConstructor() {
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &PreferencesChangedCallback,
                                  settings::kSettingsChangedNotification, nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  settings::refreshPrefs();
}

// Every step is taken whatever the earlier ones gave: a class the process
// lacks is nil, and the runtime does nothing with nil.
[[gnu::constructor(settings::load::kInstallHooks)]] void installHooks() {
  using aurora::objc::selector;
  const SEL initWithFrame = selector<"initWithFrame:">();
  const SEL layoutSubviews = selector<"layoutSubviews">();

  Class luma = objc_getClass("MTLumaDodgePillView");
  MSHookMessageEx(luma, initWithFrame, &lumaPill::initWithFrame, &lumaPill::savedInitWithFrame);
  MSHookMessageEx(luma, layoutSubviews, &lumaPill::layoutSubviews, &lumaPill::savedLayoutSubviews);
  class_addMethod(luma, selector<"animateView">(), &lumaPill::animateView, "v@:");

  Class staticColor = objc_getClass("MTStaticColorPillView");
  MSHookMessageEx(staticColor, initWithFrame, &staticPill::initWithFrame, &staticPill::savedInitWithFrame);
  MSHookMessageEx(staticColor, layoutSubviews, &staticPill::layoutSubviews, &staticPill::savedLayoutSubviews);
}

}  // namespace
