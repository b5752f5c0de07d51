#include "Studio.h"

#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "CoreFoundation/CFNotificationCenter.h"
#include "HeldValues.h"
#include "Foundation/NSRunLoop.h"
#include "Preview.h"
#include "StopSignals.h"
#include "StudioServer.h"
#include "aurora/DeviceRoot.h"
#include "dispatch/dispatch.h"
#include "settings/SettingsChanged.h"
#include "host/HostStart.h"
#include "host/SceneWatcher.h"

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
  host::HostStart start(options.root, std::make_unique<aurora::RealClock>());
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
                                  settings::kSettingsChangedNotification, nullptr, CFNotificationSuspensionBehaviorCoalesce);
  SettingsApi api(aurora::hostPath(settings::kPreferencesPath), &settings::postSettingsChanged, held);
  FilesApi files(aurora::hostPath(settings::kPreferencesPath), api, options.looks);

  HostRequests host;
  host.settingsVersion = [&] { return counters.settingsVersion.load(); };
  host.respring = [&] {
    const std::uint64_t number = ++counters.resprings;
    dispatch_async(dispatch_get_main_queue(), [&scene, &events, number] {
      scene.removeAllPills();
      scene.addDefaultPills();
      events.publish("respring", fmt::format("{{\"respring\":{}}}", number));
    });
    return number;
  };
  host.wantFrame = [&] { dispatch_async(dispatch_get_main_queue(), [&preview] { preview.wanted(); }); };
  StudioServer server(std::move(host), api, files, frames, events);
  const std::uint16_t port = server.bind(options.bind, options.port);
  const RequestGuard guard(options.bind, port, freshToken());
  server.routeBehind(guard);
  if (guard.tokenOnEveryRequest()) {
    err << fmt::format("auroraribbon-studio: warning: serving on {}, which other machines can reach: whoever has the address "
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
