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

  void subviewAdded(const UIView& parent, const UIView& child) override;
  void viewRemoved(const UIView& view) override;
  void viewDestroyed(const UIView& view) override;
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override;
  void animationBegan(aurora::AnimationSerial animation, double durationSeconds) override;
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override;

 private:
  SceneListener& listener_;
  aurora::ObserverRegistration listening_{*this};
};

}  // namespace host
