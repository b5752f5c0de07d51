#include "Storm.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "Activity.h"
#include "BadInput.h"
#include "DeviceRootCopy.h"
#include "Foundation/NSRunLoop.h"
#include "Host.h"
#include "aurora/DeviceRoot.h"
#include "host/DeviceRoot.h"
#include "settings/SettingsChanged.h"

namespace hardening {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Counts from the first post on and stops the run loop at the last re-read.
class StormWatcher : public ActivityCounter {
 public:
  explicit StormWatcher(std::uint64_t expected) : expected_(expected) {}

  void dictionaryRead(std::string_view devicePath, const NSDictionary* contents) override {
    ActivityCounter::dictionaryRead(devicePath, contents);
    if (counts().preferenceReads == expected_) {
      end_ = Clock::now();
      NSRunLoop::mainRunLoop().stop();
    }
  }
  void timerFired(const NSTimer& timer) override {
    ActivityCounter::timerFired(timer);
    const Clock::time_point now = Clock::now();
    if (end_) return;
    ++firesDuring_;
    if (lastFire_) longestGapMs_ = std::max(longestGapMs_, millisecondsBetween(*lastFire_, now));
    lastFire_ = now;
  }
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override {
    ActivityCounter::animationCompleted(animation, finished);
    if (!end_) ++completedDuring_;
  }

  std::optional<Clock::time_point> end() const { return end_; }
  double longestGapMs() const { return longestGapMs_; }
  std::uint64_t completedDuring() const { return completedDuring_; }
  std::uint64_t firesDuring() const { return firesDuring_; }

 private:
  std::uint64_t expected_;
  std::optional<Clock::time_point> end_;
  std::optional<Clock::time_point> lastFire_;
  double longestGapMs_ = 0;
  std::uint64_t completedDuring_ = 0;
  std::uint64_t firesDuring_ = 0;
};

std::string poster(Gate& go, int posts) {
  if (!go.waitOpen()) return "{}";
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < posts; ++i) settings::postSettingsChanged();
  return nlohmann::json{{"posts", posts}, {"seconds", millisecondsBetween(start, Clock::now()) / 1000}}.dump();
}

std::string hostStorm(const StormPlan& plan, const std::filesystem::path& root) {
  host::useDeviceRoot(root);
  const std::filesystem::path prefs = aurora::hostPath(settings::kPreferencesPath);
  Gate go;
  ChildProcess posting([&] { return poster(go, plan.posts); });

  std::vector<aurora::PreferenceEntry> settings = saneSettings("Wave");
  settings.push_back({settings::key::specturmAnimationSpeed.name, 0.05});
  replaceFile(prefs, aurora::preferencesBytes(settings, aurora::PlistFormat::Xml));
  Host host(root, std::make_unique<aurora::RealClock>());
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  host.scene().addPill("wave", objc_getClass(kStaticPillClass), kStaticPillFrame);
  loop.runFor(aurora::Nanoseconds::zero());
  host.prefs().set({{settings::key::style.name, std::string(settings::kSpectrum)}});
  host.scene().addPill("spectrum", objc_getClass(kLumaPillClass), kLumaPillFrame);
  loop.runFor(aurora::Nanoseconds::zero());

  StormWatcher watcher(static_cast<std::uint64_t>(plan.posts));
  const Clock::time_point start = Clock::now();
  go.open();
  loop.runFor(plan.wallLimit);  // a bound: the watcher stops the loop at the last re-read
  const ChildResult posted = posting.wait(plan.wallLimit);
  // Whatever else the socket still held would arrive now.
  loop.runFor(std::chrono::milliseconds(200));

  const Activity seen = watcher.counts();
  StormReport report;
  report.posts = plan.posts;
  report.posterOk = posted.ok();
  report.rereads = seen.preferenceReads;
  report.readsOffMainThread = seen.readsOffMainThread;
  report.callbacks = seen.callbacksDelivered;
  report.waveFires = watcher.firesDuring();
  report.animationsCompleted = watcher.completedDuring();
  report.longestFireGapMs = watcher.longestGapMs();
  report.stormSeconds = millisecondsBetween(start, watcher.end().value_or(Clock::now())) / 1000;
  if (posted.ok()) report.postingSeconds = nlohmann::json::parse(posted.output).value("seconds", 0.0);
  return nlohmann::json(report).dump();
}

}  // namespace

StormReport runNotificationStorm(const StormPlan& plan, const std::filesystem::path& sourceRoot) {
  DeviceRootCopy root(sourceRoot);
  StormReport report;
  report.host = runInChild(plan.wallLimit * 3, [&] { return hostStorm(plan, root.path()); });
  if (report.host.ok()) nlohmann::json::parse(report.host.output).get_to(report);
  return report;
}

}  // namespace hardening
