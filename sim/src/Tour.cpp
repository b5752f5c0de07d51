#include "Tour.h"

#include <fmt/format.h>

#include "Foundation/NSRunLoop.h"
#include "settings/Contract.h"

namespace sim {
namespace {

constexpr double kSpectrumStepSeconds = 0.01;
constexpr double kTwoColorStepSeconds = 1.5;

}  // namespace

Tour::Tour(host::Scene& scene, aurora::PreferencesFile& prefs)
    : scene_(scene), prefs_(prefs), originalPrefs_(prefs.bytes()) {}

Tour::~Tour() {
  try {
    if (originalPrefs_) {
      prefs_.writeRaw(*originalPrefs_);
    } else {
      prefs_.remove();
    }
  } catch (const std::exception&) {
    // Leaving the last style behind is all that is lost.
  }
}

void Tour::start() {
  startedAt_ = NSRunLoop::mainRunLoop().now();
  show(0);
}

std::string Tour::caption() const {
  if (!segment_) return {};
  return fmt::format("{} ({}/{})", kStyles[*segment_], *segment_ + 1, kStyles.size());
}

void Tour::show(std::size_t round) {
  const std::size_t segment = round % kStyles.size();
  segment_ = segment;
  namespace key = settings::key;
  prefs_.set({{key::enabled.name, true},
              {key::style.name, std::string(kStyles[segment])},
              {key::specturmAnimationSpeed.name, kSpectrumStepSeconds},
              {key::fadeSpeed.name, kTwoColorStepSeconds},
              {key::breathingSpeed.name, kTwoColorStepSeconds}});
  scene_.removeAllPills();
  scene_.addDefaultPills();
  // From the start, not from now: a real clock's commands run a little late, and that must not add up.
  const auto next = round + 1;
  NSRunLoop::mainRunLoop().performAt(startedAt_ + kSegment * static_cast<long>(next),
                                     [weak = std::weak_ptr<Tour*>(self_), next] {
                                       if (auto self = weak.lock()) (*self)->show(next);
                                     });
}

}  // namespace sim
