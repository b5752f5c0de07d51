#include "host/SceneWatcher.h"

namespace host {

void SceneWatcher::subviewAdded(const UIView&, const UIView&) { listener_.sceneChanged(); }

void SceneWatcher::viewRemoved(const UIView&) { listener_.sceneChanged(); }

void SceneWatcher::viewDestroyed(const UIView&) { listener_.sceneChanged(); }

void SceneWatcher::propertySet(const UIView&, aurora::ViewProperty, const aurora::PropertyValue&, aurora::AnimationSerial) {
  listener_.sceneChanged();
}

void SceneWatcher::animationBegan(aurora::AnimationSerial, double) { listener_.animationBegan(); }

void SceneWatcher::animationCompleted(aurora::AnimationSerial, bool) { listener_.animationEnded(); }

}  // namespace host
