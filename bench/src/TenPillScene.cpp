#include "TenPillScene.h"

#include <array>
#include <string>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"
#include "host/HostPillClasses.h"
#include "settings/Contract.h"

namespace bench {

void fillTenPillScene(host::Scene& scene) {
  resetRunLoop();
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  double y = 100;
  for (const std::string_view style : settings::kStyleNames) {
    // A colour view takes the style read when it is made, at its pill's first layout pass.
    applyPreferences({{settings::key::style.name, std::string(style)}});
    scene.addPill(std::string(style) + "1", objc_getClass(host::kStaticPillClass), CGRectMake(40, y, 134, 5));
    scene.addPill(std::string(style) + "2", objc_getClass(host::kLumaPillClass), CGRectMake(216, y, 134, 5));
    runInstantAt(loop.now());
    y += 100;
  }
  loop.runFor(std::chrono::milliseconds(1300));
}

}  // namespace bench
