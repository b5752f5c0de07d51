#include "aurora/Census.h"

#include "AnimationEngine.h"
#include "CensusCounters.h"
#include "Foundation/NSRunLoop.h"
#include "MainQueue.h"
#include "aurora/MainThread.h"

namespace aurora {

namespace census {
std::atomic<std::size_t> liveViews{0};
std::atomic<std::size_t> liveLayers{0};
std::atomic<std::uint64_t> layersDestroyed{0};
}  // namespace census

Census takeCensus() {
  requireMainThread("aurora::takeCensus");
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  return Census{
      .views = census::liveViews.load(),
      .layers = census::liveLayers.load(),
      .timers = loop.scheduledTimerCount(),
      .pendingTasks = loop.mainQueue().size(),
      .animations = loop.animations().activeCount(),
  };
}

}  // namespace aurora
