#include "Activity.h"

#include <fmt/format.h>

#include "aurora/MainThread.h"
#include "aurora/PreferencesFile.h"
#include "settings/Contract.h"

namespace hardening {

Activity ActivityCounter::counts() const {
  Activity counts = counts_;
  counts.notificationsPosted = posted_.load();
  return counts;
}

void ActivityCounter::dictionaryRead(std::string_view devicePath, const NSDictionary*) {
  if (devicePath != settings::kPreferencesPath) return;
  ++counts_.preferenceReads;
  if (!aurora::isMainThread()) ++counts_.readsOffMainThread;
}

void ActivityCounter::notificationPosted(std::string_view) { ++posted_; }

void ActivityCounter::notificationDelivered(std::string_view) { ++counts_.callbacksDelivered; }

void ActivityCounter::viewCreated(const UIView&) { ++counts_.viewsMade; }

void ActivityCounter::propertySet(const UIView&, aurora::ViewProperty property, const aurora::PropertyValue& value,
                                  aurora::AnimationSerial) {
  if (property != aurora::ViewProperty::Alpha) return;
  if (const double* alpha = std::get_if<double>(&value)) alphas_.insert(fmt::format("{}", *alpha));
}

void ActivityCounter::animationBegan(aurora::AnimationSerial, double) { ++counts_.animationsBegun; }

void ActivityCounter::animationCompleted(aurora::AnimationSerial, bool) { ++counts_.animationsCompleted; }

void ActivityCounter::timerFired(const NSTimer&) { ++counts_.timerFires; }

}  // namespace hardening
