// The soak's scenario, one scenario script per sample period, written for the
// simulator's own script parser and runner (sim/ScriptParser.h,
// ScenarioRunner.h). Every `churn` period a pill is made, of the two classes
// in turn and the five styles in turn (so every class meets every style),
// after the preferences were rewritten for it as the settings pane would and
// the settings-changed notification was posted; it is resized half-way
// through its life and removed at its end. The notification is also posted
// every second all along. Each period's pills are made and removed within it.
//
//   SoakPlan plan = SoakPlan::day();
//   std::string text = soakPeriodScript(plan, 0);  // the first hour
//
// Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "aurora/Time.h"
#include "settings/Contract.h"

namespace hardening {

using settings::kStyleNames;

struct SoakPlan {
  aurora::Nanoseconds duration;      // virtual time of churn
  aurora::Nanoseconds samplePeriod;  // one script, one census and RSS sample each
  aurora::Nanoseconds churn = std::chrono::seconds(3);
  aurora::Nanoseconds pillLifetime = std::chrono::seconds(7);
  // Quiet time after the churn, longer than any step a removed pill's
  // style may still have under way (the luma pill's 10 s animateView step).
  aurora::Nanoseconds settle = std::chrono::seconds(30);

  static SoakPlan day() { return {std::chrono::hours(24), std::chrono::hours(1)}; }
  static SoakPlan minutes(int count) { return {std::chrono::minutes(count), std::chrono::minutes(1)}; }

  std::int64_t periods() const { return duration / samplePeriod; }
  // Pills made in each period: those whose whole life fits in it.
  std::int64_t pillsPerPeriod() const;
};

// The script of period `index` (0-based), with absolute instants.
std::string soakPeriodScript(const SoakPlan& plan, std::int64_t index);

// `t` as a plain decimal number of seconds, exactly ("3600", "12.5").
std::string secondsText(aurora::Nanoseconds t);

}  // namespace hardening
