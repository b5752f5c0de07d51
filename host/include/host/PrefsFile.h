// The simulated device's preferences file as the simulator names it: its
// device path, the notification that tells its readers to read it again, and
// the platform's one writer of preferences files (aurora/PreferencesFile.h),
// which `--style`, `--set` and the scenario's `prefs` commands edit it with.
//
//   PrefsFile prefs(aurora::hostPath(kPrefsDevicePath));
//   prefs.set({{"enabled", true}, {"style", std::string("Fade")}});
//
// Owned by the simulator; main thread only.
#pragma once

#include <string_view>

#include "aurora/PreferencesFile.h"

namespace sim {

inline constexpr std::string_view kPrefsDevicePath = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
inline constexpr const char* kSettingsChangedNotification = "com.quillmoren.auroraribbon.settingschanged";

using PrefsFile = aurora::PreferencesFile;
using aurora::PlistFormat;

}  // namespace sim
