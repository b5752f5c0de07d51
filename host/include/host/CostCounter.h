// What a look costs a phone, counted from the platform's own reports for each
// pill: timer fires (wake-ups), block animations begun, layer changes, and
// colours handed to layers. The simulator's --cost and the studio's cost card
// read these figures.
//
// A pill is a direct subview of the scene's window, named by the scene; a view
// counts for the pill it lies under when the platform reports it. An
// animation counts for the pill of the first view its block changes; a timer
// for the pill whose view the platform reported last before the timer was made
// (the style that made it was working on that view). A layer change is a
// setter of what the screen composites (frame, alpha, clipping, background
// colour, the layer's properties); tags and the constraint switch are not.
// A colour handed to a layer is one per background colour set and one per
// entry of a gradient's colour list: the platform reports no colour being
// made, only colours given to layers.
//
// Only what happens after `from` is counted, so the start-up at the first
// instant (the first layout) is left out and a figure is a steady rate.
//
//   CostCounter cost(scene, runLoop.now());   // listens while it lives
//   ... run the loop for 60 s ...
//   for (const PillCost& pill : cost.perPill()) ...
//
// Main thread only; the scene outlives the counter.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "aurora/PlatformObserver.h"
#include "aurora/Time.h"
#include "host/Scene.h"

namespace host {

struct CostCounts {
  std::uint64_t timerFires = 0;
  std::uint64_t animations = 0;
  std::uint64_t layerChanges = 0;
  std::uint64_t layerColors = 0;
};

struct PillCost {
  std::string pill;  // the scene's name; "" for a pill no longer in the scene
  CostCounts counts;
};

// The figures as the simulator writes them and the studio reads them:
// {"seconds": S, "pills": [{"pill": NAME, "counts": {...}, "perSecond": {...}}]},
// each of counts and perSecond with timerFires, animations, layerChanges, layerColors.
nlohmann::json costFigures(const std::vector<PillCost>& pills, aurora::Nanoseconds span);

class CostCounter final : public aurora::PlatformObserver {
 public:
  CostCounter(const Scene& scene, aurora::Nanoseconds from);

  // Every pill the window took while counting, in that order, with what it did.
  std::vector<PillCost> perPill() const;

  void viewCreated(const UIView& view) override { inHand(view); }
  void subviewAdded(const UIView& parent, const UIView& child) override;
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override;
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override;
  void timerCreated(const NSTimer& timer) override;
  void timerFired(const NSTimer& timer) override;
  void timerInvalidated(const NSTimer& timer) override;

 private:
  using Serial = std::uint64_t;  // a pill's view serial; 0: none

  Serial pillOf(const UIView& view) const;
  void inHand(const UIView& view);
  bool counting() const;
  CostCounts& countsOf(Serial pill);

  const Scene& scene_;
  const aurora::Nanoseconds from_;
  std::vector<Serial> pillOrder_;
  std::map<Serial, CostCounts> counts_;
  std::map<Serial, Serial> timerPills_;      // timer serial -> pill
  std::map<Serial, Serial> animationPills_;  // animations already counted -> pill
  Serial pillInHand_ = 0;
  // Last, so that it goes first.
  aurora::ObserverRegistration listening_{*this};
};

}  // namespace host
