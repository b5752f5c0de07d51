// The soak run: a day (or any length) of virtual time in a host that loaded
// the real extension, with pills of both classes made and destroyed every few
// seconds in every style, the preferences rewritten and the settings-changed
// notification posted all along (SoakScript.h). Two pills live through the
// whole run: a static-colour pill on the wave and a luma-dodge pill breathing
// with its own animateView cycle going.
//
// At each sample period it takes a census of live views, layers, scheduled
// timers, queued tasks and running animations (aurora/Census.h) and the
// resident memory. At the end, after a quiet settle, the census must be what
// the host's window and the two long-lived pills need, nothing more.
//
//   SoakReport report = runSoak(SoakPlan::day(), root.path(), [](const SoakSample& s) { ... });
//
// runSoak makes the host (Host.h), so it runs once per process: in a fresh
// child, or as the whole of a program. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Activity.h"
#include "CensusJson.h"
#include "SoakScript.h"

namespace hardening {

struct SoakSample {
  double virtualHours = 0;
  aurora::Census census;
  std::size_t residentKiB = 0;
  double wallSeconds = 0;  // since the run began
};

struct SoakReport {
  std::vector<SoakSample> samples;  // the first is taken once the long-lived pills run
  aurora::Census expected;          // what the window and the long-lived pills need
  aurora::Census final;             // after the churn and the settle
  Activity activity;
  std::int64_t pillsChurned = 0;
  double wallSeconds = 0;

  bool countsBack() const { return final == expected; }
  // Resident memory of the last sample less the one half-way through the
  // run: the first hours warm the allocator up.
  long residentGrowthKiB() const;
};

SoakReport runSoak(const SoakPlan& plan, const std::filesystem::path& root,
                   const std::function<void(const SoakSample&)>& onSample = {});

// The report as the soak command prints it: one line per sample
// (formatSample), then the summary of the end (formatSoakSummary).
std::string formatSoakReport(const SoakReport& report);
std::string formatSample(const SoakSample& sample);
std::string formatSoakSummary(const SoakReport& report);

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(SoakSample, virtualHours, census, residentKiB, wallSeconds)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(SoakReport, samples, expected, final, activity, pillsChurned, wallSeconds)

}  // namespace hardening
