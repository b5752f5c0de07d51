// The simulated device's preferences file, at the extension's device path
// (settings/Contract.h), through the platform's one writer of preferences
// files (aurora/PreferencesFile.h): `--style`, `--set` and the scenario's
// `prefs` commands edit it with this.
//
//   PrefsFile prefs(aurora::hostPath(settings::kPreferencesPath));
//   prefs.set({{settings::key::style.name, std::string(settings::kFade)}});
//
// Owned by the simulator; main thread only.
#pragma once

#include "aurora/PreferencesFile.h"
#include "settings/Contract.h"

namespace host {

using PrefsFile = aurora::PreferencesFile;
using aurora::PlistFormat;

}  // namespace host
