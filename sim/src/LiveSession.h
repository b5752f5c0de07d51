// The live view's run: takes the terminal (TerminalSession), draws the scene
// on it as it changes (LiveView, told by a SceneWatcher), reads keys and
// signals as run loop sources, and runs the main run loop until `q` or
// Ctrl-C, a signal, or the duration.
//
//   int status = runLiveView(scene, {picture::ViewKind::Pills, std::nullopt, status}, [&] { scene.addDefaultPills();
//   });
//
// `start` makes what is shown (pills, a script's commands, the tour) once the
// terminal is taken and the watcher listens. Returns 0, or 128 + the signal
// that ended it; the terminal is given back however the run ends. Main
// thread only; the run loop should be on the real clock.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "aurora/Time.h"
#include "host/Scene.h"
#include "picture/PictureLook.h"

namespace sim {

struct LiveSettings {
  picture::ViewKind view = picture::ViewKind::Pills;
  std::optional<aurora::Nanoseconds> duration;  // nothing: until a key or a signal ends it
  std::function<std::string()> status;          // the status line's left part
};

int runLiveView(host::Scene& scene, const LiveSettings& settings, const std::function<void()>& start);

}  // namespace sim
