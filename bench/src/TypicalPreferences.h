// A typical preferences file: every key the settings pane writes, as it
// writes them. Shared by refreshPrefs' benchmark and its baseline, which parse
// the same bytes. A plain value; any thread.
#pragma once

#include <string>
#include <vector>

#include "aurora/PreferencesFile.h"

namespace bench {

inline std::vector<aurora::PreferenceEntry> typicalPreferences() {
  return {
      {"enabled", true},
      {"style", std::string("Wave")},
      {"fadeColor1", std::string("#F62459")},
      {"fadeColor2", std::string("#BF55EC")},
      {"breathingColor", std::string("#2ABB9B")},
      {"staticColor", std::string("#F62459:0.8")},
      {"waveAnimationSpeed", 0.05},
      {"waveOpacity", 1.0},
      {"specturmAnimationSpeed", 0.1},
      {"specturmOpacity", 1.0},
      {"homeBarOpacity", 0.9},
      {"breathingSpeed", 10.0},
      {"fadeSpeed", 10.0},
      {"waveDirection", std::string("l2r")},
  };
}

}  // namespace bench
