// Host: this process as a home-screen host in miniature, for hardening runs.
// It takes `root` as the device root, starts the main run loop over on the
// given clock, registers the simulator's two pill classes and loads the real
// extension through the device loader, exactly as auroraribbon-sim does; its
// scene is the window the pills go into.
//
//   hardening::Host host(root.path(), std::make_unique<aurora::VirtualClock>());
//   host.prefs().set({{settings::key::style.name, std::string(settings::kFade)}});
//   host.postSettingsChanged();
//   host.scene().addPill("p", objc_getClass("MTStaticColorPillView"), CGRectMake(40, 831, 134, 5));
//
// Once per process (pill classes register once and loaded libraries stay):
// make it in a fresh child (ChildProcess.h). Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "aurora/Clock.h"
#include "host/HostPillClasses.h"
#include "host/PrefsFile.h"
#include "host/Scene.h"

namespace hardening {

using host::kLumaPillClass;
using host::kLumaPillFrame;
using host::kStaticPillClass;
using host::kStaticPillFrame;

class Host {
 public:
  // Throws std::runtime_error when the extension does not load.
  Host(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock);

  host::Scene& scene() { return *scene_; }
  host::PrefsFile& prefs() { return prefs_; }
  // The settings-changed notification, as the settings pane posts it.
  static void postSettingsChanged();

 private:
  host::PrefsFile prefs_;
  std::unique_ptr<host::Scene> scene_;
};

}  // namespace hardening
