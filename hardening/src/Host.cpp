#include "Host.h"

#include <sstream>
#include <stdexcept>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSRunLoop.h"
#include "aurora/DeviceRoot.h"
#include "aurora/Loader.h"
#include "host/DeviceRoot.h"
#include "host/HostPillClasses.h"

namespace hardening {
namespace {

// Takes `root` as this process's device root; its preferences file.
std::filesystem::path preferencesUnder(const std::filesystem::path& root) {
  host::useDeviceRoot(root);
  return aurora::hostPath(settings::kPreferencesPath);
}

}  // namespace

Host::Host(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock) : prefs_(preferencesUnder(root)) {
  NSRunLoop::mainRunLoop().reset(std::move(clock));
  scene_ = std::make_unique<host::Scene>();
  host::registerHostPillClasses({});
  std::ostringstream diagnostics;
  const aurora::LoadReport report = aurora::loadDynamicLibraries({"com.apple.springboard", "SpringBoard"}, diagnostics);
  if (report.loaded.size() != 1) throw std::runtime_error("the extension did not load: " + diagnostics.str());
}

void Host::postSettingsChanged() {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), settings::kSettingsChangedNotification,
                                       nullptr, nullptr, true);
}

}  // namespace hardening
