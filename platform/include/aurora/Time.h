// Time on the platform: integer nanoseconds, converted from the seconds the
// platform's API takes exactly once, when they are given.
//
// Instants are nanoseconds since the main run loop's clock started. Durations
// given in seconds follow the timer rules: anything not above 0.1 ms (zero,
// negatives and NaN included) becomes 0.1 ms; +infinity and anything above
// 10^9 s mean "never".
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace aurora {

using Nanoseconds = std::chrono::nanoseconds;

inline constexpr Nanoseconds kMinimumTimerInterval{100'000};  // 0.1 ms
inline constexpr Nanoseconds kDisplayFrame{16'666'667};       // 1/60 s, rounded up
inline constexpr double kNeverSeconds = 1e9;                  // above this: never

// The timer rules above; nullopt means "never".
std::optional<Nanoseconds> timerIntervalFromSeconds(double seconds);

// Seconds as the trace prints them.
inline double toSeconds(Nanoseconds t) { return static_cast<double>(t.count()) / 1e9; }

}  // namespace aurora
