// Host: this process as a home-screen host in miniature, for hardening runs.
// It starts as auroraribbon-sim does (host/HostStart.h: the device root, the
// host's pill classes, the main run loop on the given clock, the window, the
// real extension through the device loader) and adds no pills; its scene is
// the window the pills go into.
//
//   hardening::Host host(root.path(), std::make_unique<aurora::VirtualClock>());
//   host.prefs().set({{settings::key::style.name, std::string(settings::kFade)}});
//   settings::postSettingsChanged();
//   host.scene().addPill("p", objc_getClass("MTStaticColorPillView"), CGRectMake(40, 831, 134, 5));
//
// Once per process (pill classes register once and loaded libraries stay):
// make it in a fresh child (ChildProcess.h). Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "aurora/Clock.h"
#include "aurora/PreferencesFile.h"
#include "host/HostPillClasses.h"
#include "host/HostStart.h"
#include "host/Scene.h"
#include "settings/Contract.h"

namespace hardening {

using host::kLumaPillClass;
using host::kLumaPillFrame;
using host::kStaticPillClass;
using host::kStaticPillFrame;

class Host {
 public:
  // Throws std::runtime_error when the extension does not load.
  Host(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock);

  host::Scene& scene() { return start_.scene(); }
  aurora::PreferencesFile& prefs() { return prefs_; }

 private:
  host::HostStart start_;
  aurora::PreferencesFile prefs_;
};

}  // namespace hardening
