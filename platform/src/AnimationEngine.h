// Block animations: +[UIView animateWithDuration:animations:completion:].
//
// Promises:
// - The animations block runs at once, inside the call. Each background colour
//   set inside it changes its model value at once; its presentation moves
//   from the current presentation value to the new one over the duration, on
//   the ease-in-out curve. Nothing else animates.
// - The completion runs exactly once, on the main thread, from the run loop,
//   when the animation ends: never inside the call, and never sooner than one
//   display frame (1/60 s) after it began, also with a duration of 0 or less or
//   with nothing animated, so a chain of such animations cannot spin at one
//   instant of virtual time.
// - A duration of 0 or less shows the change at once; NaN and tiny durations
//   take 0.1 ms, +infinity and anything above 10^9 s never end (the completion
//   never runs), as for timers.
// - A newer animation of the same property takes the presentation over from
//   where it is; the earlier one still ends, with finished = true, at its own
//   time. An animation ends with finished = false when a layer it animated has
//   been destroyed; an endless one whose layers have all been destroyed is
//   dropped at the next turn, its completion released without running.
// - Animations end in the order of their end times, then of their starts.
//
// Owned by the main run loop. Main thread only.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "CensusCounters.h"
#include "aurora/OnceFunction.h"
#include "aurora/PlatformObserver.h"
#include "aurora/Time.h"

class CALayer;

namespace aurora {

class AnimationEngine {
 public:
  struct Animation {
    AnimationSerial serial;
    Nanoseconds start;
    std::optional<Nanoseconds> length;  // of the colour change; nullopt: never arrives
    std::optional<Nanoseconds> end;     // when the completion runs; nullopt: never
    OnceFunction<void(bool)> completion;
    std::vector<std::weak_ptr<const CALayer>> layers;
  };

  void animate(double seconds, OnceClosure animations, OnceFunction<void(bool)> completion);

  // The animation whose animations block is running, or nullptr.
  Animation* current() { return current_; }

  // Whether an animation ends at or before `now`, or an endless one may have
  // lost its layers since endDue last looked.
  bool hasDue(Nanoseconds now) const {
    return (!active_.empty() && active_.begin()->first.first <= now) || endlessMayBeOrphaned();
  }
  // Ends the animations due at `now`, running their completions; true if any.
  bool endDue(Nanoseconds now);
  std::optional<Nanoseconds> nextEnd() const;
  std::size_t activeCount() const { return active_.size() + endless_.size(); }
  void clear();

  // The ease-in-out timing curve, cubic Bezier (0.42, 0) (0.58, 1).
  static double easeInOut(double progress);

 private:
  std::map<std::pair<Nanoseconds, AnimationSerial>, std::unique_ptr<Animation>> active_;
  bool endlessMayBeOrphaned() const {
    return !endless_.empty() && census::layersDestroyed.load(std::memory_order_relaxed) != layersDestroyedSeen_;
  }

  std::vector<std::unique_ptr<Animation>> endless_;
  std::uint64_t layersDestroyedSeen_ = 0;
  Animation* current_ = nullptr;
  AnimationSerial lastSerial_ = 0;
};

}  // namespace aurora
