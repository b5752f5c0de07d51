// Activity: a PlatformObserver that counts what the platform reports while it
// is installed: preferences reads (and whether each ran on the main thread),
// notifications posted and delivered, views made, timer fires, animations
// begun and completed, and the distinct alpha values given to views.
//
//   hardening::ActivityCounter counter;   // installed from here...
//   ... run ...
//   hardening::Activity seen = counter.counts();
//
// Listens for its lifetime, after any observer added before it. The host's
// main thread only, except notificationPosted, which counts atomically.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "aurora/PlatformObserver.h"

namespace hardening {

struct Activity {
  std::uint64_t viewsMade = 0;
  std::uint64_t preferenceReads = 0;
  std::uint64_t readsOffMainThread = 0;
  std::uint64_t notificationsPosted = 0;
  std::uint64_t callbacksDelivered = 0;
  std::uint64_t timerFires = 0;
  std::uint64_t animationsBegun = 0;
  std::uint64_t animationsCompleted = 0;
};

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Activity, viewsMade, preferenceReads, readsOffMainThread, notificationsPosted,
                                   callbacksDelivered, timerFires, animationsBegun, animationsCompleted)

class ActivityCounter : public aurora::PlatformObserver {
 public:
  Activity counts() const;
  // The distinct alpha values set on views, as text ("0.5", "nan", "inf").
  const std::set<std::string>& alphas() const { return alphas_; }

  void dictionaryRead(std::string_view devicePath, const NSDictionary* contents) override;
  void notificationPosted(std::string_view name) override;
  void notificationDelivered(std::string_view name) override;
  void viewCreated(const UIView& view) override;
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override;
  void animationBegan(aurora::AnimationSerial animation, double durationSeconds) override;
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override;
  void timerFired(const NSTimer& timer) override;

 private:
  Activity counts_;
  std::atomic<std::uint64_t> posted_{0};
  std::set<std::string> alphas_;
  aurora::ObserverRegistration listening_{*this};
};

}  // namespace hardening
