// PlatformObserver: an optional, process-wide listener that every traced
// platform call reports to: views made, added, removed and destroyed, the
// listed property setters, block animations, timers, constraints, library
// loads, dictionary reads and notifications. The simulator's trace writer is
// one.
//
// With no observer installed a traced call costs one pointer test; values are
// only converted for the observer when one is there.
//
// The observer is installed and called on the main thread (notification posts
// report from the posting thread). The platform does not own it: whoever
// installs it keeps it alive until it is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
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

PlatformObserver* platformObserver();
void setPlatformObserver(PlatformObserver* observer);

}  // namespace aurora
