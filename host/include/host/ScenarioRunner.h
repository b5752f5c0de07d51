// Runs a parsed scenario script. Each line's command is handed to the main
// run loop (performAt) for its instant, so it runs on the main thread before
// anything else due then, in file order.
//
// A command that fails while running (a message the pill's class does not
// answer, a preferences file or snapshot that cannot be written) throws
// ScenarioFailure out of the run loop, its message starting with "FILE:LINE: ".
// A snapshot shows the screen as it stands when the command runs: before
// whatever else is due at that instant.
//
//   ScenarioRunner runner(script, scene, prefs);
//   runner.schedule();
//   NSRunLoop::mainRunLoop().runFor(duration);
//
// The runner, the scene and the preferences file must outlive the run. Main
// thread only.
#pragma once

#include <stdexcept>

#include "aurora/PreferencesFile.h"
#include "host/Scene.h"
#include "host/Script.h"
#include "picture/PictureLook.h"

namespace host {

class ScenarioFailure : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ScenarioRunner {
 public:
  ScenarioRunner(const Script& script, Scene& scene, aurora::PreferencesFile& prefs)
      : script_(script), scene_(scene), prefs_(prefs) {}

  // Hands every command to the main run loop.
  void schedule();
  // How `snapshot` pictures the screen (default: the full window at 3 pixels per point).
  void setSnapshotLook(const picture::PictureLook& look) { snapshotLook_ = look; }
  // Whether the script's `end` has run.
  bool ended() const { return ended_; }

 private:
  void execute(const ScriptLine& line);

  void perform(const command::PrefsSet& c);
  void perform(const command::PrefsUnset& c);
  void perform(const command::PrefsDelete& c);
  void perform(const command::PrefsRaw& c);
  void perform(const command::PrefsFormat& c);
  void perform(const command::Notify& c);
  void perform(const command::PillAdd& c);
  void perform(const command::PillFrame& c);
  void perform(const command::PillLayout& c);
  void perform(const command::PillSend& c);
  void perform(const command::PillAddView& c);
  void perform(const command::PillRemove& c);
  void perform(const command::RunLoopMode& c);
  void perform(const command::Snapshot& c);
  void perform(const command::End& c);

  const Script& script_;
  Scene& scene_;
  aurora::PreferencesFile& prefs_;
  picture::PictureLook snapshotLook_;
  bool ended_ = false;
};

}  // namespace host
