#include "TenPillScene.h"

#include <array>
#include <string>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"

namespace bench {

void fillTenPillScene(host::Scene& scene) {
  static constexpr std::array kStyles = {"Wave", "Spectrum", "Fade", "Breathing", "Static"};
  resetRunLoop();
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  double y = 100;
  for (const char* style : kStyles) {
    // A colour view takes the style read when it is made, at its pill's first layout pass.
    applyPreferences({{"style", std::string(style)}});
    scene.addPill(std::string(style) + "1", objc_getClass("MTStaticColorPillView"), CGRectMake(40, y, 134, 5));
    scene.addPill(std::string(style) + "2", objc_getClass("MTLumaDodgePillView"), CGRectMake(216, y, 134, 5));
    runInstantAt(loop.now());
    y += 100;
  }
  loop.runFor(std::chrono::milliseconds(1300));
}

}  // namespace bench
