// The load sequence, each case in a fresh host process (a forked child) so
// that every case loads the extension anew into a process of its own shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSRunLoop.h"
#include "PlatformTestSupport.h"
#include "TestHost.h"
#include "aurora/MainThread.h"
#include "aurora/PlatformObserver.h"

namespace {

using namespace aurora::testing;
using namespace std::chrono_literals;

// In the child a failed check prints and ends the process; the parent sees the exit status.
#define HOST_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "line %d: check failed: %s\n", __LINE__, #condition);   \
      std::fflush(stderr);                                                          \
      std::_Exit(1);                                                                \
    }                                                                               \
  } while (false)

void inFreshHost(const std::function<void()>& body) {
  body();
  std::fflush(nullptr);
  std::_Exit(0);
}

// Counts reads of the preferences file and what the pill class answered then.
struct ReadWatcher : aurora::PlatformObserver {
  ReadWatcher() { aurora::setPlatformObserver(this); }
  ~ReadWatcher() override { aurora::setPlatformObserver(nullptr); }
  int reads = 0;
  bool allOnMainThread = true;
  IMP layoutSubviewsAtFirstRead = nullptr;
  bool loadedAfterRead = false;
  void dictionaryRead(std::string_view path, bool) override {
    if (path != kPreferencesFile) return;
    if (++reads == 1) {
      layoutSubviewsAtFirstRead =
          class_getMethodImplementation(objc_getClass("MTStaticColorPillView"), sel_registerName("layoutSubviews"));
    }
    allOnMainThread = allOnMainThread && aurora::isMainThread();
    if (reads > 1) NSRunLoop::mainRunLoop().stop();
  }
  void libraryLoaded(std::string_view) override { loadedAfterRead = reads == 1; }
};

class LoadSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override { installExtension(root); }
  TempDeviceRoot root;
};

TEST_F(LoadSequenceTest, TheLoaderRunsTheConstructorBeforeTheInstallation) {
  writePreferences({{"enabled", true}});
  EXPECT_EXIT(inFreshHost([] {
                registerHostPills();
                ReadWatcher watcher;
                aurora::LoadReport report = loadExtensions();
                HOST_CHECK((report.loaded == std::vector<std::string>{"/Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib"}));
                HOST_CHECK(watcher.reads == 1);
                HOST_CHECK(watcher.loadedAfterRead);
                // At the first read the pill class still had its own method; now it has the replacement.
                HOST_CHECK(watcher.layoutSubviewsAtFirstRead == hostLayoutSubviewsIMP());
                Class pill = objc_getClass("MTStaticColorPillView");
                HOST_CHECK(class_getMethodImplementation(pill, sel_registerName("layoutSubviews")) != hostLayoutSubviewsIMP());
                HOST_CHECK(class_respondsToSelector(objc_getClass("MTLumaDodgePillView"), sel_registerName("animateView")));
                HOST_CHECK(!class_respondsToSelector(pill, sel_registerName("animateView")));
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(LoadSequenceTest, APostingFromAnotherProcessReReadsTheFileOnTheMainThread) {
  writePreferences({{"enabled", false}});
  EXPECT_EXIT(inFreshHost([] {
                // The settings pane is another process, forked before this one observes anything;
                // it writes and posts once the host has loaded.
                int go[2];
                HOST_CHECK(::pipe(go) == 0);
                const pid_t poster = ::fork();
                if (poster == 0) {
                  char byte;
                  if (::read(go[0], &byte, 1) != 1) std::_Exit(1);
                  writePreferences({{"enabled", true}}, aurora::PlistFormat::Binary);
                  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kSettingsChanged,
                                                       nullptr, nullptr, true);
                  std::_Exit(0);
                }
                registerHostPills();
                NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::RealClock>());
                ReadWatcher watcher;
                loadExtensions();
                HOST_CHECK(::write(go[1], "g", 1) == 1);
                NSRunLoop& loop = NSRunLoop::mainRunLoop();
                loop.performAt(loop.now() + 20s, [] { NSRunLoop::mainRunLoop().stop(); });  // a bound, not a timing
                loop.run();
                ::waitpid(poster, nullptr, 0);
                HOST_CHECK(watcher.reads == 2);
                HOST_CHECK(watcher.allOnMainThread);
                auto pill = makePill("MTStaticColorPillView", CGRectMake(0, 0, 100, 5));
                pill->layoutIfNeeded();
                HOST_CHECK(pill->viewWithTag(115) != nullptr);  // the master switch came on with the re-read
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(LoadSequenceTest, AProcessWithoutTheStaticPillStillGetsTheLumaHooks) {
  writePreferences({{"enabled", true}});
  EXPECT_EXIT(inFreshHost([] {
                registerHostPills({.staticColor = false});
                loadExtensions();
                auto pill = makePill("MTLumaDodgePillView", CGRectMake(0, 0, 100, 5));
                pill->layoutIfNeeded();
                HOST_CHECK(pill->viewWithTag(115) != nullptr);
                HOST_CHECK(pill->clipsToBounds());
                HOST_CHECK(pill->respondsToSelector(sel_registerName("animateView")));
                HOST_CHECK(hostLayoutPasses() == 1);
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(LoadSequenceTest, AProcessWithNeitherPillStillSubscribesAndReads) {
  EXPECT_EXIT(inFreshHost([] {
                registerHostPills({.staticColor = false, .lumaDodge = false});
                ReadWatcher watcher;
                loadExtensions();
                HOST_CHECK(watcher.reads == 1);
                CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kSettingsChanged,
                                                     nullptr, nullptr, true);
                NSRunLoop::mainRunLoop().runFor(0ns);
                HOST_CHECK(watcher.reads == 2);
              }),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(LoadSequenceTest, AnAnimateViewTheClassAlreadyHasIsLeftAlone) {
  EXPECT_EXIT(inFreshHost([] {
                registerHostPills({.lumaHasOwnAnimateView = true});
                loadExtensions();
                auto pill = makePill("MTLumaDodgePillView", CGRectMake(0, 0, 100, 5));
                objc_msgSend<void>(pill.get(), sel_registerName("animateView"));
                HOST_CHECK(hostAnimateViewCalls() == 1);
              }),
              ::testing::ExitedWithCode(0), "");
}

// The string settings are built before the load-time functions (whatever the
// compiler can constant-evaluate), so their initial values survive the load.
TEST_F(LoadSequenceTest, TheInitialStyleAndDirectionSurviveTheLoad) {
  writePreferences({{"enabled", true}});
  EXPECT_EXIT(inFreshHost([] {
                registerHostPills();
                RecordingObserver observer;
                loadExtensions();
                auto pill = makePill("MTStaticColorPillView", CGRectMake(0, 0, 100, 5));
                pill->layoutIfNeeded();
                NSRunLoop::mainRunLoop().runFor(0s);
                HOST_CHECK(NSRunLoop::mainRunLoop().scheduledTimerCount() == 1);  // "Wave" runs on a timer
                const auto colors = std::find(observer.events.begin(), observer.events.end(), "set layer.colors");
                HOST_CHECK(colors != observer.events.end());
                // "l2r" turned the palette once: hue 360 then hue 0, both red, lead the band.
                const auto sets = std::count_if(observer.events.begin(), colors, [](const std::string& e) { return e.starts_with("set "); });
                const auto& band = std::get<std::vector<RGBA>>(observer.values[static_cast<std::size_t>(sets)]);
                HOST_CHECK(band.size() == 60 && band[0] == (RGBA{1, 0, 0, 1}) && band[1] == (RGBA{1, 0, 0, 1}));
              }),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
