// PlatformObserver: a process-wide listener that every traced platform call
// reports to: views made, added, removed and destroyed, the listed property
// setters, block animations, timers, constraints, library loads, dictionary
// reads and notifications. The simulator's trace writer, the live view's scene
// watcher and the studio's held values are observers.
//
// Any number may listen at once; each report goes to every observer, in the
// order they were added. With none added a traced call costs one atomic load;
// values are only converted for observers when there are some.
//
//   struct Counter final : aurora::PlatformObserver {
//     void viewCreated(const UIView&) override { ++made; }
//     int made = 0;
//     aurora::ObserverRegistration listening{*this};  // last: added last, removed first
//   };
//
// Observers are added and removed on the main thread, never from inside a
// report, and are called on it, except notification posts and dictionary
// reads, which report from the calling thread. The platform does not own
// them: whoever adds one keeps it alive until it is removed, and removes it
// only when no other thread may still post or read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "CoreGraphics/CGColor.h"
#include "CoreGraphics/CGGeometry.h"

class NSDictionary;
class UIView;
class NSTimer;
enum class NSRunLoopMode : unsigned;

namespace aurora {

enum class ViewProperty {
  Frame,
  Alpha,
  Tag,
  ClipsToBounds,
  TranslatesAutoresizingMaskIntoConstraints,
  BackgroundColor,
  LayerBackgroundColor,
  LayerCornerRadius,
  LayerColors,
  LayerStartPoint,
  LayerEndPoint,
  LayerDrawsAsynchronously,
};

// The platform's name: "frame", "layer.cornerRadius", ...
const char* viewPropertyName(ViewProperty property);

using PropertyValue = std::variant<bool, long, double, CGRect, CGPoint, RGBA, std::vector<RGBA>>;

// Animation serials start at 1; 0 means "not inside an animations block".
using AnimationSerial = std::uint64_t;

class PlatformObserver {
 public:
  virtual ~PlatformObserver() = default;
  virtual void libraryLoaded(std::string_view /*devicePath*/) {}
  // `contents`: what the read gave, null when the file could not be read; only during the call.
  virtual void dictionaryRead(std::string_view /*devicePath*/, const NSDictionary* /*contents*/) {}
  virtual void notificationPosted(std::string_view /*name*/) {}
  virtual void notificationDelivered(std::string_view /*name*/) {}
  virtual void viewCreated(const UIView& /*view*/) {}
  virtual void subviewAdded(const UIView& /*parent*/, const UIView& /*child*/) {}
  virtual void viewRemoved(const UIView& /*view*/) {}
  virtual void viewDestroyed(const UIView& /*view*/) {}
  virtual void propertySet(const UIView& /*view*/, ViewProperty /*property*/, const PropertyValue& /*value*/,
                           AnimationSerial /*animation*/) {}
  virtual void animationBegan(AnimationSerial /*animation*/, double /*durationSeconds*/) {}
  virtual void animationCompleted(AnimationSerial /*animation*/, bool /*finished*/) {}
  virtual void timerCreated(const NSTimer& /*timer*/) {}
  virtual void timerScheduled(const NSTimer& /*timer*/, NSRunLoopMode /*mode*/) {}
  virtual void timerFired(const NSTimer& /*timer*/) {}
  virtual void timerInvalidated(const NSTimer& /*timer*/) {}
  virtual void constraintsAdded(const UIView& /*view*/, std::string_view /*format*/, std::size_t /*count*/) {}
};

// Adds `observer` after those already listening; adding one twice is a mistake (std::logic_error).
void addPlatformObserver(PlatformObserver& observer);
// Removes `observer`; one that is not listening is left alone.
void removePlatformObserver(PlatformObserver& observer);

// `observer` listens for as long as this lives. Declared as an observer's
// last member, it is added once the rest is made and removed before it goes.
class ObserverRegistration {
 public:
  explicit ObserverRegistration(PlatformObserver& observer) : observer_(observer) { addPlatformObserver(observer_); }
  ~ObserverRegistration() { removePlatformObserver(observer_); }
  ObserverRegistration(const ObserverRegistration&) = delete;
  ObserverRegistration& operator=(const ObserverRegistration&) = delete;

 private:
  PlatformObserver& observer_;
};

// For the platform's traced calls: whether anyone listens, to skip converting values for nobody.
bool platformObserved();

using PlatformObserverList = std::vector<PlatformObserver*>;
// The observers listening now, in the order added; a list that stays valid
// while its holder reports, whatever is added or removed meanwhile.
std::shared_ptr<const PlatformObserverList> platformObservers();

// Reports to every observer, in the order added: tellObservers(&PlatformObserver::viewCreated, *view).
template <class... Params>
void tellObservers(void (PlatformObserver::*report)(Params...), std::type_identity_t<Params>... values) {
  if (!platformObserved()) return;
  const std::shared_ptr<const PlatformObserverList> observers = platformObservers();
  for (PlatformObserver* observer : *observers) (observer->*report)(values...);
}

}  // namespace aurora
