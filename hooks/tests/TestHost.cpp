#include "TestHost.h"

#include <sstream>
#include <stdexcept>

#include "aurora/DeviceRoot.h"

namespace aurora::testing {
namespace {

// The host's pill classes have no subclasses, so the receiver's class is the defining one.
void hostLayoutSubviews(id self, SEL sel) {
  ++hostLayoutPasses();
  objc_msgSendSuper<void>(object_getClass(self), self, sel);
}

void hostAnimateView(id, SEL) { ++hostAnimateViewCalls(); }

Class registerPill(const char* name) {
  Class cls = objc_registerClass(name, UIView::objcClass());
  class_addMethod(cls, sel_registerName("layoutSubviews"), &hostLayoutSubviews, "v@:");
  return cls;
}

}  // namespace

int& hostLayoutPasses() {
  static int passes = 0;
  return passes;
}

IMP hostLayoutSubviewsIMP() { return reinterpret_cast<IMP>(&hostLayoutSubviews); }

int& hostAnimateViewCalls() {
  static int calls = 0;
  return calls;
}

void registerHostPills(const PillClasses& classes) {
  if (classes.staticColor) registerPill("MTStaticColorPillView");
  if (classes.lumaDodge) {
    Class luma = registerPill("MTLumaDodgePillView");
    if (classes.lumaHasOwnAnimateView) class_addMethod(luma, sel_registerName("animateView"), &hostAnimateView, "v@:");
  }
}

void installExtension(const TempDeviceRoot& root) {
  const auto target = root.path() / "Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib";
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::copy_file(AURORA_EXTENSION_PATH, target, std::filesystem::copy_options::overwrite_existing);
}

LoadReport loadExtensions() {
  std::ostringstream diagnostics;
  LoadReport report = loadDynamicLibraries({"com.apple.springboard", "SpringBoard"}, diagnostics);
  if (report.loaded.size() != 1) throw std::runtime_error("the extension did not load: " + diagnostics.str());
  return report;
}

void writePreferences(const std::vector<PreferenceEntry>& entries, PlistFormat format) {
  PreferencesFile(hostPath(kPreferencesFile)).writeRaw(preferencesBytes(entries, format));
}

std::shared_ptr<UIView> makePill(const char* className, CGRect frame) {
  return UIView::make(objc_getClass(className), frame);
}

}  // namespace aurora::testing
