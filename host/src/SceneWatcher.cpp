#include "host/SceneWatcher.h"

namespace host {

void SceneWatcher::libraryLoaded(std::string_view devicePath) {
  if (next_) next_->libraryLoaded(devicePath);
}

void SceneWatcher::dictionaryRead(std::string_view devicePath, const NSDictionary* contents) {
  if (next_) next_->dictionaryRead(devicePath, contents);
}

void SceneWatcher::notificationPosted(std::string_view name) {
  if (next_) next_->notificationPosted(name);
}

void SceneWatcher::notificationDelivered(std::string_view name) {
  if (next_) next_->notificationDelivered(name);
}

void SceneWatcher::viewCreated(const UIView& view) {
  if (next_) next_->viewCreated(view);
}

void SceneWatcher::subviewAdded(const UIView& parent, const UIView& child) {
  if (next_) next_->subviewAdded(parent, child);
  listener_.sceneChanged();
}

void SceneWatcher::viewRemoved(const UIView& view) {
  if (next_) next_->viewRemoved(view);
  listener_.sceneChanged();
}

void SceneWatcher::viewDestroyed(const UIView& view) {
  if (next_) next_->viewDestroyed(view);
  listener_.sceneChanged();
}

void SceneWatcher::propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                               aurora::AnimationSerial animation) {
  if (next_) next_->propertySet(view, property, value, animation);
  listener_.sceneChanged();
}

void SceneWatcher::animationBegan(aurora::AnimationSerial animation, double durationSeconds) {
  if (next_) next_->animationBegan(animation, durationSeconds);
  listener_.animationBegan();
}

void SceneWatcher::animationCompleted(aurora::AnimationSerial animation, bool finished) {
  if (next_) next_->animationCompleted(animation, finished);
  listener_.animationEnded();
}

void SceneWatcher::timerCreated(const NSTimer& timer) {
  if (next_) next_->timerCreated(timer);
}

void SceneWatcher::timerScheduled(const NSTimer& timer, NSRunLoopMode mode) {
  if (next_) next_->timerScheduled(timer, mode);
}

void SceneWatcher::timerFired(const NSTimer& timer) {
  if (next_) next_->timerFired(timer);
}

void SceneWatcher::timerInvalidated(const NSTimer& timer) {
  if (next_) next_->timerInvalidated(timer);
}

void SceneWatcher::constraintsAdded(const UIView& view, std::string_view format, std::size_t count) {
  if (next_) next_->constraintsAdded(view, format, count);
}

}  // namespace host
