// The activity counter: what it counts, what it leaves out, and alpha values
// kept as distinct text (NaN included).
#include <gtest/gtest.h>

#include <cmath>

#include "Activity.h"
#include "CoreFoundation/CFNotificationCenter.h"
#include "DeviceRootCopy.h"
#include "Foundation/NSDictionary.h"
#include "Foundation/NSRunLoop.h"
#include "PrefsFile.h"
#include "UIKit/UIView.h"
#include "aurora/DeviceRoot.h"

namespace {

using hardening::ActivityCounter;

TEST(ActivityTest, CountsPreferenceReadsOnlyAndInstallsItselfForItsLifetime) {
  hardening::DeviceRootCopy root;
  ::setenv(aurora::kDeviceRootVariable, root.path().c_str(), 1);
  {
    ActivityCounter counter;
    EXPECT_EQ(aurora::platformObserver(), &counter);
    NSDictionary::dictionaryWithContentsOfFile(sim::kPrefsDevicePath);
    NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/other.plist");
    EXPECT_EQ(counter.counts().preferenceReads, 1u);
    EXPECT_EQ(counter.counts().readsOffMainThread, 0u);
  }
  EXPECT_EQ(aurora::platformObserver(), nullptr);
  ::unsetenv(aurora::kDeviceRootVariable);
}

TEST(ActivityTest, CountsViewsPostsAndDistinctAlphas) {
  NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
  ActivityCounter counter;
  auto view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  for (double alpha : {0.5, 0.5, std::nan(""), std::nan(""), 1.0}) view->setAlpha(alpha);
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.example.none", nullptr, nullptr, true);
  EXPECT_EQ(counter.counts().viewsMade, 1u);
  EXPECT_EQ(counter.counts().notificationsPosted, 1u);
  EXPECT_EQ(counter.alphas(), (std::set<std::string>{"0.5", "1", "nan"}));
}

}  // namespace
