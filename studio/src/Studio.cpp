#include "Studio.h"

#include <fmt/format.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSRunLoop.h"
#include "HeldValues.h"
#include "Preview.h"
#include "SimChild.h"
#include "StopSignals.h"
#include "StudioServer.h"
#include "TimeControl.h"
#include "Workshop.h"
#include "aurora/DeviceRoot.h"
#include "aurora/DrivenClock.h"
#include "dispatch/dispatch.h"
#include "host/HostStart.h"
#include "host/SceneWatcher.h"
#include "settings/SettingsChanged.h"

namespace studio {
namespace {

// What the page hears of, counted; the notification's callback runs on the main thread.
struct Counters {
  EventHub& events;
  std::atomic<std::uint64_t> settingsVersion{0};
  std::atomic<std::uint64_t> resprings{0};
};

void settingsChanged(CFNotificationCenterRef, void* observer, CFStringRef, const void*, CFDictionaryRef) {
  auto& counters = *static_cast<Counters*>(observer);
  counters.events.publish("settings", fmt::format("{{\"version\":{}}}", ++counters.settingsVersion));
}

}  // namespace

int runStudio(const StudioOptions& options, std::ostream& out, std::ostream& err) {
  // The run loop owns the clock; the timeline drives it.
  auto owned = std::make_unique<aurora::DrivenClock>(std::make_unique<aurora::RealClock>());
  aurora::DrivenClock& clock = *owned;
  host::HostStart start(options.root, std::move(owned));
  const StopSignals signals;  // before any other thread starts

  host::Scene& scene = start.scene();
  FrameHub frames;
  EventHub events;
  Preview preview(scene.window(), options.view, frames, events);
  HeldValues held;  // follows the extension's reads, so must see the first, at load
  const host::SceneWatcher watcher(preview);
  start.loadExtensions(err);
  scene.addDefaultPills();

  // Observed after the extension, which observes from its load: the page hears
  // of a change once the extension has read the file, and asks what it holds.
  Counters counters{events};
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &counters, &settingsChanged,
                                  settings::kSettingsChangedNotification, nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  SettingsApi api(aurora::hostPath(settings::kPreferencesPath), &settings::postSettingsChanged, held);
  FilesApi files(aurora::hostPath(settings::kPreferencesPath), api, options.looks);

  const auto remakePills = [&scene] {
    scene.removeAllPills();
    scene.addDefaultPills();
  };
  TimeReport timeReport;
  TimeControl timeline(
      clock, [&preview](Preview::Pace pace) { preview.setPace(pace); }, remakePills,
      [&](const TimeState& state) {
        timeReport.set(state);
        events.publish("time", timeJson(state).dump());
      });
  timeReport.set(timeline.state());
  // Costs and recordings come from the simulator run as a child, on copies of this root.
  Workshop workshop(options.root, simulatorProgram(), [&held] {
    const auto number = [&held](const char* key) {
      const nlohmann::json value = held.held(key).value;
      return value.is_number() ? value.get<double>() : std::nan("");
    };
    const nlohmann::json style = held.held(settings::key::style.name).value;
    return RecordedLook{style.is_string() ? style.get<std::string>() : std::string(),
                        number(settings::key::fadeSpeed.name), number(settings::key::breathingSpeed.name)};
  });

  HostRequests host;
  host.workshop = &workshop;
  host.settingsVersion = [&] { return counters.settingsVersion.load(); };
  host.respring = [&] {
    const std::uint64_t number = ++counters.resprings;
    dispatch_async(dispatch_get_main_queue(), [&remakePills, &timeline, &events, number] {
      remakePills();
      timeline.resprung();
      events.publish("respring", fmt::format("{{\"respring\":{}}}", number));
    });
    return number;
  };
  host.wantFrame = [&] { dispatch_async(dispatch_get_main_queue(), [&preview] { preview.wanted(); }); };
  host.time = [&] { return timeReport.now(); };
  host.changeTime = [&](const TimeChange& change) {
    dispatch_async(dispatch_get_main_queue(), [&timeline, change] { timeline.apply(change); });
  };
  StudioServer server(std::move(host), api, files, frames, events);
  const std::uint16_t port = server.bind(options.bind, options.port);
  const RequestGuard guard(options.bind, port, freshToken());
  server.routeBehind(guard);
  if (guard.tokenOnEveryRequest()) {
    err << fmt::format(
        "auroraribbon-studio: warning: serving on {}, which other machines can reach: whoever has the address "
        "below, token included, can open the studio and change the settings (from another machine, with this "
        "machine's name or address in it); requests without the token are refused\n",
        options.bind);
  }
  out << "auroraribbon-studio: serving " << guard.pageAddress() << " (Ctrl-C stops)" << std::endl;

  std::thread serving([&] { server.serve(); });
  NSRunLoop::mainRunLoop().run();
  frames.close();
  events.close();
  server.stop();
  serving.join();
  return 0;
}

}  // namespace studio
