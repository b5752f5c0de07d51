#include "Soak.h"

#include <fmt/format.h>

#include <chrono>

#include "Foundation/NSRunLoop.h"
#include "Host.h"
#include "Rss.h"
#include "host/ScenarioRunner.h"
#include "host/ScriptParser.h"
#include "settings/SettingsChanged.h"

namespace hardening {
namespace {

namespace key = settings::key;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The long-lived pills: a static-colour pill on the wave (its timer), a
// luma-dodge pill breathing (one animation) with animateView cycling (another).
void addLongLivedPills(Host& host) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  // Each pill's creating layout pass, which reads the style, runs before the next write.
  host.prefs().set({{key::enabled.name, true},
                    {key::style.name, std::string(settings::kWave)},
                    {key::waveAnimationSpeed.name, 0.05},
                    {key::breathingSpeed.name, 2.0}});
  settings::postSettingsChanged();
  host.scene().addPill("keepStatic", objc_getClass(kStaticPillClass), kStaticPillFrame);
  loop.runFor(aurora::Nanoseconds::zero());
  host.prefs().set({{key::style.name, std::string(settings::kBreathing)}});
  settings::postSettingsChanged();
  host.scene().addPill("keepLuma", objc_getClass(kLumaPillClass), kLumaPillFrame);
  loop.runFor(aurora::Nanoseconds::zero());
  objc_msgSend<void>(&host.scene().pill("keepLuma"), sel_registerName("animateView"));
}

// What the window and the long-lived pills need: per pill itself and its
// colour view; the wave's timer; the breathing and animateView animations.
aurora::Census longLivedNeeds(const aurora::Census& windowOnly) {
  aurora::Census needs = windowOnly;
  needs.views += 4;
  needs.layers += 4;
  needs.timers += 1;
  needs.animations += 2;
  return needs;
}

}  // namespace

long SoakReport::residentGrowthKiB() const {
  if (samples.empty()) return 0;
  return static_cast<long>(samples.back().residentKiB) - static_cast<long>(samples[samples.size() / 2].residentKiB);
}

SoakReport runSoak(const SoakPlan& plan, const std::filesystem::path& root,
                   const std::function<void(const SoakSample&)>& onSample) {
  const Clock::time_point start = Clock::now();
  Host host(root, std::make_unique<aurora::VirtualClock>());
  ActivityCounter counter;
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  SoakReport report;
  report.expected = longLivedNeeds(aurora::takeCensus());
  addLongLivedPills(host);

  const auto sample = [&] {
    SoakSample s{aurora::toSeconds(loop.now()) / 3600.0, aurora::takeCensus(), residentKilobytes(),
                 secondsSince(start)};
    report.samples.push_back(s);
    if (onSample) onSample(s);
  };
  sample();
  const host::PillClasses classes{{kStaticPillClass, kLumaPillClass}, {}};
  for (std::int64_t period = 0; period < plan.periods(); ++period) {
    const host::Script script =
        host::parseScript(fmt::format("soak period {}", period), soakPeriodScript(plan, period), classes);
    host::ScenarioRunner runner(script, host.scene(), host.prefs());
    runner.schedule();
    loop.runUntil(plan.samplePeriod * (period + 1));
    report.pillsChurned += plan.pillsPerPeriod();
    sample();
  }
  loop.runFor(plan.settle);
  report.final = aurora::takeCensus();
  report.activity = counter.counts();
  report.wallSeconds = secondsSince(start);
  return report;
}

std::string formatSample(const SoakSample& s) {
  return fmt::format("{:6.2f} h  {}  rss {} KiB  (wall {:.1f} s)", s.virtualHours, describe(s.census), s.residentKiB,
                     s.wallSeconds);
}

std::string formatSoakReport(const SoakReport& report) {
  std::string text;
  for (const SoakSample& s : report.samples) text += formatSample(s) + "\n";
  return text + formatSoakSummary(report);
}

std::string formatSoakSummary(const SoakReport& report) {
  const Activity& a = report.activity;
  std::string text = fmt::format(
      "pills churned {}; views made {}; preference reads {}; notifications posted {}, delivered {}; timer fires {}; "
      "animations begun {}, completed {}\n",
      report.pillsChurned, a.viewsMade, a.preferenceReads, a.notificationsPosted, a.callbacksDelivered, a.timerFires,
      a.animationsBegun, a.animationsCompleted);
  text +=
      fmt::format("after the settle: {}\nthe live pills need: {}\n", describe(report.final), describe(report.expected));
  text += fmt::format("resident memory over the second half of the run: {:+} KiB; wall time {:.1f} s\n",
                      report.residentGrowthKiB(), report.wallSeconds);
  text += report.countsBack() ? "counts are back to what the live pills need\n"
                              : "LEFT BEHIND: counts differ from what the live pills need\n";
  return text;
}

}  // namespace hardening
