// A host process built for the tests: its own two pill classes, a device root
// with the extension installed, and the extension brought in through the
// device loader, exactly as a device would.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TempDeviceRoot.h"
#include "UIKit/UIView.h"
#include "aurora/Loader.h"
#include "aurora/PreferencesFile.h"

namespace aurora::testing {

inline constexpr const char* kPreferencesFile = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
inline constexpr const char* kSettingsChanged = "com.quillmoren.auroraribbon.settingschanged";

struct PillClasses {
  bool staticColor = true;
  bool lumaDodge = true;
  bool lumaHasOwnAnimateView = false;  // the host's luma-dodge class answers animateView itself
};

// Registers MTStaticColorPillView / MTLumaDodgePillView: plain views whose own
// layoutSubviews calls the base one and counts itself in hostLayoutPasses().
void registerHostPills(const PillClasses& classes = {});
int& hostLayoutPasses();
// The host's own layoutSubviews, before any replacement.
IMP hostLayoutSubviewsIMP();
int& hostAnimateViewCalls();

// Copies the built extension into the device root's library folder.
void installExtension(const TempDeviceRoot& root);

// Loads what the device root holds, as the host "SpringBoard" would.
LoadReport loadExtensions();

// Writes the preferences file under the current device root: these entries and nothing else.
void writePreferences(const std::vector<PreferenceEntry>& entries, PlistFormat format = PlistFormat::Xml);

std::shared_ptr<UIView> makePill(const char* className, CGRect frame);

}  // namespace aurora::testing
