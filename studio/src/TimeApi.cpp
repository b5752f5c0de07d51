#include "TimeApi.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "aurora/DrivenClock.h"

namespace studio {
namespace {

using Json = nlohmann::json;

std::optional<int> percentOf(const Json& rate) {
  if (!rate.is_number()) return std::nullopt;
  const double asked = rate.get<double>();
  for (int percent : aurora::kDrivenRates) {
    if (asked == percent / 100.0) return percent;
  }
  return std::nullopt;
}

}  // namespace

std::variant<TimeChange, std::string> readTimeChange(std::string_view body) {
  const Json asked = Json::parse(body, nullptr, false);
  if (!asked.is_object()) return std::string("the body must be a JSON object such as {\"paused\": true}");
  TimeChange change;
  for (const auto& [name, value] : asked.items()) {
    if (name == "paused") {
      if (!value.is_boolean()) return std::string("\"paused\" must be true or false");
      change.paused = value.get<bool>();
    } else if (name == "rate") {
      change.percent = percentOf(value);
      if (!change.percent) return fmt::format("\"rate\" must be 0.1, 0.25, 0.5 or 1, not {}", value.dump());
    } else if (name == "t") {
      const double seconds = value.is_number() ? value.get<double>() : NAN;
      if (!(seconds >= 0 && seconds <= static_cast<double>(kLongestScrub.count()))) {
        return fmt::format("\"t\" must be a number of seconds from 0 to {}, not {}", kLongestScrub.count(),
                           value.dump());
      }
      change.scrubTo = aurora::Nanoseconds{std::llround(seconds * 1e9)};
    } else if (name == "step") {
      if (value != true) return std::string("\"step\" can only be true");
      change.step = true;
    } else {
      return fmt::format("no such field \"{}\": a change of time has paused, rate, t and step", name);
    }
  }
  return change;
}

nlohmann::json timeJson(const TimeState& state) {
  return {{"paused", state.paused}, {"rate", state.percent / 100.0}, {"t", aurora::toSeconds(state.sinceRespring)}};
}

void TimeReport::set(const TimeState& state) {
  aurora::MutexLock lock(mutex_);
  state_ = state;
  stamp_ = std::chrono::steady_clock::now();
}

TimeState TimeReport::now() const {
  aurora::MutexLock lock(mutex_);
  TimeState state = state_;
  if (!state.paused)
    state.sinceRespring += aurora::drivenSpan(std::chrono::steady_clock::now() - stamp_, state.percent);
  return state;
}

}  // namespace studio
