#include "aurora/Time.h"

#include <cmath>

namespace aurora {

std::optional<Nanoseconds> timerIntervalFromSeconds(double seconds) {
  if (!(seconds > toSeconds(kMinimumTimerInterval))) return kMinimumTimerInterval;  // NaN lands here too
  if (seconds > kNeverSeconds) return std::nullopt;
  return Nanoseconds(std::llround(seconds * 1e9));
}

}  // namespace aurora
