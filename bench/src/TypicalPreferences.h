// A typical preferences file: every key the settings pane writes, the master
// switch on, a translucent static colour and pill. Shared by refreshPrefs'
// benchmark and its baseline, which parse the same bytes. A plain value; any
// thread.
#pragma once

#include <string>
#include <vector>

#include "aurora/PreferencesFile.h"
#include "prefs/PreferenceKeys.h"

namespace bench {

inline std::vector<aurora::PreferenceEntry> typicalPreferences() {
  namespace key = settings::key;
  std::vector<aurora::PreferenceEntry> entries = prefs::startingEntries();
  for (aurora::PreferenceEntry& entry : entries) {
    if (entry.key == key::enabled.name) entry.value = true;
    if (entry.key == key::staticColor.name) entry.value = std::string("#F62459:0.8");
    if (entry.key == key::homeBarOpacity.name) entry.value = 0.9;
  }
  return entries;
}

}  // namespace bench
