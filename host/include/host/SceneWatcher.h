// Tells a SceneListener (the live view) when what the screen shows may have
// changed, by listening to what the platform reports
// (aurora/PlatformObserver.h): a listed setter called, a view added, removed
// or destroyed, a block animation begun or ended. Every report is first passed
// on, unchanged, to the next observer (the trace writer, when there is one),
// since the platform has room for one observer only.
//
//   SceneWatcher watcher(traceWriterOrNull, liveView);
//   aurora::setPlatformObserver(&watcher);
//
// It owns neither the next observer nor the listener. Reports arrive on the
// main thread, except notification posts, which it only passes on.
#pragma once

#include "aurora/PlatformObserver.h"
#include "host/SceneListener.h"

namespace host {

class SceneWatcher final : public aurora::PlatformObserver {
 public:
  SceneWatcher(aurora::PlatformObserver* next, SceneListener& listener) : next_(next), listener_(listener) {}

  void libraryLoaded(std::string_view devicePath) override;
  void dictionaryRead(std::string_view devicePath, const NSDictionary* contents) override;
  void notificationPosted(std::string_view name) override;
  void notificationDelivered(std::string_view name) override;
  void viewCreated(const UIView& view) override;
  void subviewAdded(const UIView& parent, const UIView& child) override;
  void viewRemoved(const UIView& view) override;
  void viewDestroyed(const UIView& view) override;
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override;
  void animationBegan(aurora::AnimationSerial animation, double durationSeconds) override;
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override;
  void timerCreated(const NSTimer& timer) override;
  void timerScheduled(const NSTimer& timer, NSRunLoopMode mode) override;
  void timerFired(const NSTimer& timer) override;
  void timerInvalidated(const NSTimer& timer) override;
  void constraintsAdded(const UIView& view, std::string_view format, std::size_t count) override;

 private:
  aurora::PlatformObserver* next_;
  SceneListener& listener_;
};

}  // namespace host
