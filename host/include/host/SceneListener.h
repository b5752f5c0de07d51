// What a front-end that draws the screen is told by the SceneWatcher: that
// something visible may have changed, and when a block animation begins and
// ends (the presentation moves with no setter called meanwhile). The live
// view of auroraribbon-sim is one.
//
// The watcher holds a reference and owns nothing; the listener must outlive
// it. Called on the main thread.
#pragma once

namespace host {

class SceneListener {
 public:
  virtual ~SceneListener() = default;
  virtual void sceneChanged() = 0;
  virtual void animationBegan() = 0;
  virtual void animationEnded() = 0;
};

}  // namespace host
