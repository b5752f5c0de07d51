// One value for the preferences file, as the platform's writer takes it (a
// flag, a 64-bit integer, a real or a string), and how `--set KEY=VALUE`
// guesses which of them a bare value is. Plain values; any thread.
#pragma once

#include <string_view>

#include "aurora/PreferencesFile.h"

namespace host {

// "true"/"false" give a flag, a decimal integer an integer, a decimal real
// ("0.5", "1e3") a real, each as aurora/StrictNumbers.h reads it; anything
// else, "nan", "inf" and a number out of range included, stays text.
aurora::PreferenceValue inferPreferenceValue(std::string_view text);

}  // namespace host
