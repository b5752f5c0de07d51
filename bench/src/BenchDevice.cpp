#include "BenchDevice.h"

#include <filesystem>

#include "Foundation/NSRunLoop.h"
#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"
#include "host/HostStart.h"
#include "settings/LoadOrder.h"
#include "settings/Settings.h"

namespace bench {
namespace {

// Made on first use, by the load-time function below: a global with a
// constructor would be initialised after it and lose the value.
const aurora::TemporaryDirectory& root() {
  static const aurora::TemporaryDirectory directory("auroraribbon-bench-");
  return directory;
}

// Before the extension's load-time functions, as a host is ready before the
// loader runs; see BenchDevice.h.
[[gnu::constructor(settings::load::kBeforeExtension)]] void prepareBenchDevice() {
  host::prepareDevice(root().path(), {}, host::PillDrawing::None);
  aurora::PreferencesFile(preferencesPath()).set({{settings::key::enabled.name, true}});
}

}  // namespace

const std::filesystem::path& preferencesPath() {
  static const std::filesystem::path path = aurora::hostPath(settings::kPreferencesPath);
  return path;
}

std::filesystem::path scratchFile(const char* name) { return root() / name; }

void applyPreferences(const std::vector<aurora::PreferenceEntry>& entries, aurora::PlistFormat format) {
  std::vector<aurora::PreferenceEntry> all{{settings::key::enabled.name, true}};
  all.insert(all.end(), entries.begin(), entries.end());
  aurora::PreferencesFile(preferencesPath()).writeRaw(aurora::preferencesBytes(all, format));
  settings::assignInitialValues();
  settings::refreshPrefs();
}

void resetRunLoop() { NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>()); }

void runInstantAt(aurora::Nanoseconds when) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.clock().wait(when, {});
  loop.runUntil(loop.now());
}

}  // namespace bench
