// Tells a SceneListener (the live view, the studio's preview) when what the
// screen shows may have changed, by listening to what the platform reports
// (aurora/PlatformObserver.h): a listed setter called, a view added, removed
// or destroyed, a block animation begun or ended.
//
//   SceneWatcher watcher(liveView);  // listens from here until it goes
//
// It does not own the listener. It listens for as long as it lives; every
// report it hears arrives on the main thread.
#pragma once

#include "aurora/PlatformObserver.h"
#include "host/SceneListener.h"

namespace host {

class SceneWatcher final : public aurora::PlatformObserver {
 public:
  explicit SceneWatcher(SceneListener& listener) : listener_(listener) {}

  void subviewAdded(const UIView&, const UIView&) override { listener_.sceneChanged(); }
  void viewRemoved(const UIView&) override { listener_.sceneChanged(); }
  void viewDestroyed(const UIView&) override { listener_.sceneChanged(); }
  void propertySet(const UIView&, aurora::ViewProperty, const aurora::PropertyValue&,
                   aurora::AnimationSerial) override {
    listener_.sceneChanged();
  }
  void animationBegan(aurora::AnimationSerial, double) override { listener_.animationBegan(); }
  void animationCompleted(aurora::AnimationSerial, bool) override { listener_.animationEnded(); }

 private:
  SceneListener& listener_;
  aurora::ObserverRegistration listening_{*this};
};

}  // namespace host
