// The studio's timeline as the HTTP interface speaks of it: a change asked
// for with PUT /api/time, the state GET /api/time and the `time` event give,
// and the report the server thread reads that state from.
//
// A change is {"paused": bool, "rate": 0.1 | 0.25 | 0.5 | 1, "t": seconds
// since the last respring, "step": true}, any of them; TimeControl (main
// thread) applies one. The parsing is pure and runs on any thread; the
// report is written by the main thread and read by the server's.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "aurora/ThreadSafety.h"
#include "aurora/Time.h"

namespace studio {

// The farthest a scrub goes from the respring.
inline constexpr std::chrono::seconds kLongestScrub{600};

struct TimeChange {
  std::optional<int> percent{};                  // a rate of aurora::kDrivenRates
  std::optional<aurora::Nanoseconds> scrubTo{};  // pills made anew, run to here, held
  bool step = false;                             // one picture forward, held
  std::optional<bool> paused{};                  // applied last
};

// A PUT /api/time body as a change, or why it is refused.
std::variant<TimeChange, std::string> readTimeChange(std::string_view body);

struct TimeState {
  bool paused = false;
  int percent = 100;
  aurora::Nanoseconds sinceRespring{0};
};

// {"paused", "rate", "t"}: what GET /api/time and the `time` event carry.
nlohmann::json timeJson(const TimeState& state);

// The state at its last change, and the time it goes on from there while playing.
class TimeReport {
 public:
  void set(const TimeState& state);
  TimeState now() const;

 private:
  mutable aurora::Mutex mutex_;
  TimeState state_ AURORA_GUARDED_BY(mutex_);
  std::chrono::steady_clock::time_point stamp_ AURORA_GUARDED_BY(mutex_) = std::chrono::steady_clock::now();
};

}  // namespace studio
