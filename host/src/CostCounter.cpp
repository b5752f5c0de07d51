#include "host/CostCounter.h"

#include <algorithm>

#include "Foundation/NSRunLoop.h"
#include "Foundation/NSTimer.h"
#include "UIKit/UIView.h"

namespace host {
namespace {

bool isLayerChange(aurora::ViewProperty property) {
  return property != aurora::ViewProperty::Tag &&
         property != aurora::ViewProperty::TranslatesAutoresizingMaskIntoConstraints;
}

std::uint64_t colorsIn(const aurora::PropertyValue& value) {
  if (std::holds_alternative<RGBA>(value)) return 1;
  if (const auto* list = std::get_if<std::vector<RGBA>>(&value)) return list->size();
  return 0;
}

// The four counts by name, each passed through `figure`.
template <class Figure>
nlohmann::json eachCount(const CostCounts& counts, Figure figure) {
  return {{"timerFires", figure(counts.timerFires)},
          {"animations", figure(counts.animations)},
          {"layerChanges", figure(counts.layerChanges)},
          {"layerColors", figure(counts.layerColors)}};
}

}  // namespace

nlohmann::json costFigures(const std::vector<PillCost>& pills, aurora::Nanoseconds span) {
  const double seconds = aurora::toSeconds(span);
  nlohmann::json list = nlohmann::json::array();
  for (const PillCost& pill : pills) {
    const auto perSecond = [seconds](std::uint64_t count) { return static_cast<double>(count) / seconds; };
    list.push_back({{"pill", pill.pill},
                    {"counts", eachCount(pill.counts, [](std::uint64_t count) { return count; })},
                    {"perSecond", eachCount(pill.counts, perSecond)}});
  }
  return {{"seconds", seconds}, {"pills", std::move(list)}};
}

CostCounter::CostCounter(const Scene& scene, aurora::Nanoseconds from) : scene_(scene), from_(from) {}

std::vector<PillCost> CostCounter::perPill() const {
  std::vector<PillCost> pills;
  for (const Serial serial : pillOrder_) {
    const std::string* name = scene_.nameOf(serial);
    const auto counted = counts_.find(serial);
    pills.push_back(
        {name != nullptr ? *name : std::string(), counted != counts_.end() ? counted->second : CostCounts{}});
  }
  return pills;
}

CostCounter::Serial CostCounter::pillOf(const UIView& view) const {
  const UIView* window = &scene_.window();
  const UIView* below = &view;
  for (std::shared_ptr<UIView> above = view.superview(); above; above = above->superview()) {
    if (above.get() == window) return below->serial();
    below = above.get();
  }
  return 0;
}

void CostCounter::inHand(const UIView& view) {
  if (const Serial pill = pillOf(view)) pillInHand_ = pill;
}

bool CostCounter::counting() const { return NSRunLoop::mainRunLoop().now() > from_; }

CostCounts& CostCounter::countsOf(Serial pill) { return counts_[pill]; }

void CostCounter::subviewAdded(const UIView& parent, const UIView& child) {
  if (&parent == &scene_.window() &&
      std::find(pillOrder_.begin(), pillOrder_.end(), child.serial()) == pillOrder_.end()) {
    pillOrder_.push_back(child.serial());
  }
  inHand(child);
}

void CostCounter::propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                              aurora::AnimationSerial animation) {
  inHand(view);
  const Serial pill = pillOf(view);
  if (pill == 0 || !counting()) return;
  CostCounts& counts = countsOf(pill);
  if (animation != 0 && animationPills_.emplace(animation, pill).second) ++counts.animations;
  if (!isLayerChange(property)) return;
  ++counts.layerChanges;
  counts.layerColors += colorsIn(value);
}

void CostCounter::animationCompleted(aurora::AnimationSerial animation, bool) { animationPills_.erase(animation); }

void CostCounter::timerCreated(const NSTimer& timer) {
  if (pillInHand_ != 0) timerPills_[timer.serial()] = pillInHand_;
}

void CostCounter::timerFired(const NSTimer& timer) {
  const auto owner = timerPills_.find(timer.serial());
  if (owner == timerPills_.end() || !counting()) return;
  pillInHand_ = owner->second;
  ++countsOf(owner->second).timerFires;
}

void CostCounter::timerInvalidated(const NSTimer& timer) { timerPills_.erase(timer.serial()); }

}  // namespace host
