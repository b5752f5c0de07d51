#include "BenchDevice.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "Foundation/NSRunLoop.h"
#include "UIKit/UIView.h"
#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"
#include "settings/Settings.h"

namespace bench {
namespace {

// The host's pill classes, as plain as they come: their own layoutSubviews
// only calls UIView's, so a layout pass measures the extension's replacement
// and the runtime, not the host's drawing.
constexpr std::array<const char*, 2> kHostPillClasses = {"MTStaticColorPillView", "MTLumaDodgePillView"};
std::array<Class, 2> gHostPillClasses{};

template <std::size_t I>
void hostLayoutSubviews(id self, SEL sel) {
  objc_msgSendSuper<void>(gHostPillClasses[I], self, sel);
}

template <std::size_t I>
void registerHostPillClass() {
  gHostPillClasses[I] = objc_registerClass(kHostPillClasses[I], UIView::objcClass());
  class_addMethod(gHostPillClasses[I], aurora::objc::selector<"layoutSubviews">(), &hostLayoutSubviews<I>, "v@:");
}

// Made on first use, by the load-time function below: a global with a
// constructor would be initialised after it and lose the value.
const aurora::TemporaryDirectory& root() {
  static const aurora::TemporaryDirectory directory("auroraribbon-bench-");
  return directory;
}

// Before the extension's installation step (priority 103), as a host is
// ready before the loader runs; see BenchDevice.h.
[[gnu::constructor(101)]] void prepareDevice() {
  ::setenv(aurora::kDeviceRootVariable, root().path().c_str(), 1);
  aurora::PreferencesFile(preferencesPath()).set({{settings::key::enabled.name, true}});
  registerHostPillClass<0>();
  registerHostPillClass<1>();
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
