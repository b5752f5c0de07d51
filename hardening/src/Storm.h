// The notification storm: another process posts the settings-changed
// notification as fast as it can, many thousands of times, at a host that
// loaded the real extension and runs on the real clock with two pills
// animating (a static-colour pill on the wave, a luma-dodge pill on the
// spectrum). Each posting must give exactly one re-read of the preferences
// file, on the main thread, while the wave's timer keeps firing and
// animations keep completing.
//
//   StormReport report = runNotificationStorm(StormPlan{}, demoRoot());
//
// Forks the host, which forks the poster before it loads anything. Call from
// a process with one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "ChildProcess.h"

namespace hardening {

struct StormPlan {
  int posts = 10000;
  std::chrono::milliseconds wallLimit = std::chrono::seconds(120);
};

struct StormReport {
  ChildResult host;  // how the host process ended
  int posts = 0;     // made by the poster
  bool posterOk = false;
  std::uint64_t rereads = 0;  // preference reads from the first post on
  std::uint64_t readsOffMainThread = 0;
  std::uint64_t callbacks = 0;            // settings-changed callbacks run
  std::uint64_t waveFires = 0;            // timer fires while the storm lasted
  std::uint64_t animationsCompleted = 0;  // while the storm lasted
  double longestFireGapMs = 0;            // between two timer fires while it lasted
  double postingSeconds = 0;              // the poster's own time
  double stormSeconds = 0;                // from the first post to the last re-read

  bool exact() const {
    return host.ok() && posterOk && rereads == static_cast<std::uint64_t>(posts) && readsOffMainThread == 0;
  }
};

// The figures the host process sends back (all but `host`).
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(StormReport, posts, posterOk, rereads, readsOffMainThread, callbacks, waveFires,
                                   animationsCompleted, longestFireGapMs, postingSeconds, stormSeconds)

StormReport runNotificationStorm(const StormPlan& plan, const std::filesystem::path& sourceRoot);

}  // namespace hardening
