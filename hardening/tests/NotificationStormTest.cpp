// The notification storm: ten thousand posts from another process, exactly
// ten thousand re-reads on the host's main thread, and the pills animating
// all the while.
#include <gtest/gtest.h>

#include "DeviceRootCopy.h"
#include "Storm.h"

namespace {

using namespace hardening;

TEST(NotificationStormTest, EveryPostGivesOneReReadOnTheMainThreadWhileThePillsAnimate) {
  const StormReport report = runNotificationStorm({.posts = 10000, .wallLimit = std::chrono::seconds(100)}, demoRoot());
  ASSERT_TRUE(report.host.ok()) << report.host.describe() << " " << report.host.output;
  EXPECT_TRUE(report.posterOk);
  EXPECT_EQ(report.posts, 10000);
  EXPECT_EQ(report.rereads, 10000u);
  EXPECT_EQ(report.callbacks, 10000u);
  EXPECT_EQ(report.readsOffMainThread, 0u);
  // The animations went on: the wave's timer fired and spectrum steps completed during the storm.
  EXPECT_GT(report.waveFires, 0u);
  EXPECT_GT(report.animationsCompleted, 0u);
}

}  // namespace
