// A host with pill classes of its own loads the real AuroraRibbon.dylib from a device root through the device
// loader: first the load sequence, each case in a fresh host (a forked child); then the pill hooks, in this process.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "CoreFoundation/CFNotificationCenter.h"
#include "PlatformTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "TempDeviceRoot.h"
#include "UIKit/UIView.h"
#include "aurora/Loader.h"
#include "aurora/PreferencesFile.h"

namespace {

using namespace aurora::testing;
using namespace std::chrono_literals;

constexpr const char* kPreferencesFile = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
constexpr RGBA kRed{1, 0, 0, 1};

// The host's own methods. Its pill classes have no subclasses, so the receiver's class is the defining one.
int hostLayoutPasses = 0, hostAnimateViewCalls = 0;
void hostLayoutSubviews(id self, SEL sel) {
  ++hostLayoutPasses;
  objc_msgSendSuper<void>(object_getClass(self), self, sel);
}
void hostAnimateView(id, SEL) { ++hostAnimateViewCalls; }
const SEL kLayoutSubviews = sel_registerName("layoutSubviews"), kAnimateView = sel_registerName("animateView");

// Which pill classes the host has: plain views whose layoutSubviews counts itself.
struct Host {
  const char* name = "";
  bool staticPill = true;
  bool lumaPill = true;
  bool lumaAnimatesItself = false;
};

void registerHostPills(const Host& host) {
  struct PillClass {
    const char* name = "";
    bool present = false;
    bool animatesItself = false;
  };
  const PillClass classes[] = {
      {.name = "MTStaticColorPillView", .present = host.staticPill},
      {.name = "MTLumaDodgePillView", .present = host.lumaPill, .animatesItself = host.lumaAnimatesItself}};
  for (const PillClass& pill : classes) {
    if (!pill.present) continue;
    Class cls = objc_registerClass(pill.name, UIView::objcClass());
    class_addMethod(cls, kLayoutSubviews, &hostLayoutSubviews, "v@:");
    if (pill.animatesItself) class_addMethod(cls, kAnimateView, &hostAnimateView, "v@:");
  }
}

// Installs the built extension in the device root and loads what the root holds, as SpringBoard would.
void installAndLoad(const TempDeviceRoot& root) {
  const auto target = root.path() / "Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib";
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::copy_file(AURORA_EXTENSION_PATH, target);
  std::ostringstream diagnostics;
  const aurora::LoadReport report = aurora::loadDynamicLibraries({"com.apple.springboard", "SpringBoard"}, diagnostics);
  if (report.loaded != std::vector<std::string>{"/Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib"}) {
    throw std::runtime_error("the extension did not load: " + diagnostics.str());
  }
}

// Writes the preferences file (these entries and nothing else) and posts, as the settings pane does.
void applyPreferences(const std::vector<aurora::PreferenceEntry>& entries, bool post = true) {
  aurora::PreferencesFile(aurora::hostPath(kPreferencesFile))
      .writeRaw(aurora::preferencesBytes(entries, aurora::PlistFormat::Xml));
  if (!post) return;
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       "com.quillmoren.auroraribbon.settingschanged", nullptr, nullptr, true);
  NSRunLoop::mainRunLoop().runFor(0ns);
}

std::shared_ptr<UIView> makePill(const char* className) {
  return UIView::make(objc_getClass(className), CGRectMake(40, 831, 134, 5));
}
UIView* colorViewOf(UIView& pill) { return pill.viewWithTag(115); }
NSUInteger colorNum(UIView* colorView) { return objc_msgSend<NSUInteger>(colorView, sel_registerName("colorNum")); }

// Counts reads of the preferences file, and notes what the static pill class answered at the first.
struct ReadWatcher : RecordingObserver {
  int reads = 0;
  IMP layoutSubviewsAtFirstRead = nullptr;
  void dictionaryRead(std::string_view path, const NSDictionary*) override {
    if (path == kPreferencesFile && ++reads == 1) {
      layoutSubviewsAtFirstRead =
          class_getMethodImplementation(objc_getClass("MTStaticColorPillView"), kLayoutSubviews);
    }
  }
};

// The whole life of one fresh host, in a child process.
void loadIntoAFreshHost(const Host& host, const TempDeviceRoot& root) {
  registerHostPills(host);
  ReadWatcher watcher;
  installAndLoad(root);
  EXPECT_EQ(watcher.reads, 1);            // while loading, before the hooks went in (below)
  applyPreferences({{"enabled", true}});  // subscribed, whatever the host has
  EXPECT_EQ(watcher.reads, 2);
  if (host.staticPill) {
    EXPECT_EQ(watcher.layoutSubviewsAtFirstRead, reinterpret_cast<IMP>(&hostLayoutSubviews));  // replaced after
    EXPECT_FALSE(class_respondsToSelector(objc_getClass("MTStaticColorPillView"), kAnimateView));
    // The string settings are built before the load-time functions, so their initial values
    // survive the load: "Wave" runs on a timer, and "l2r" turned the palette once (hues 360, 0).
    auto pill = makePill("MTStaticColorPillView");
    NSRunLoop::mainRunLoop().runFor(0s);  // its first pass, and the wave's first update
    EXPECT_EQ(NSRunLoop::mainRunLoop().scheduledTimerCount(), 1u);
    ASSERT_NE(colorViewOf(*pill), nullptr);
    const auto band = objc_cast<CAGradientLayer>(colorViewOf(*pill)->layer())->colors();
    ASSERT_EQ(band.size(), 60u);
    EXPECT_EQ(band[0]->components(), kRed);
    EXPECT_EQ(band[1]->components(), kRed);
  }
  if (host.lumaPill) {
    auto pill = makePill("MTLumaDodgePillView");
    const int passes = hostLayoutPasses;
    pill->layoutIfNeeded();
    EXPECT_EQ(hostLayoutPasses, passes + 1);
    ASSERT_NE(colorViewOf(*pill), nullptr);
    EXPECT_TRUE(pill->clipsToBounds());
    objc_msgSend<void>(pill.get(), kAnimateView);  // answered: the host's own, where it has one
    EXPECT_EQ(hostAnimateViewCalls, host.lumaAnimatesItself ? 1 : 0);
    EXPECT_EQ(colorNum(colorViewOf(*pill)), host.lumaAnimatesItself ? 0u : 1u);
  }
}

// In a forked child, where Google Test reports nothing: each failure goes to standard error, which the
// parent's death test shows, and the exit status tells the parent whether there was any.
[[noreturn]] void loadIntoAFreshHostAndExit(const Host& host, const TempDeviceRoot& root) {
  ::testing::TestPartResultArray results;
  {
    const ::testing::ScopedFakeTestPartResultReporter intercept(&results);
    loadIntoAFreshHost(host, root);
  }
  for (int i = 0; i < results.size(); ++i) {
    const ::testing::TestPartResult& result = results.GetTestPartResult(i);
    std::fprintf(stderr, "line %d: %s\n", result.line_number(), result.summary());
  }
  std::_Exit(results.size() == 0 ? 0 : 1);
}

// Defined first, so that even in one process these fork before the pill hooks' suite loads.
TEST(LoadSequenceTest, EachHostReadsBeforeTheHooksGoInAndHooksThePillsItHas) {
  const Host hosts[] = {{.name = "both pills"},
                        {.name = "no static pill", .staticPill = false},
                        {.name = "neither pill", .staticPill = false, .lumaPill = false},
                        {.name = "a luma pill that animates itself", .lumaAnimatesItself = true}};
  for (const Host& host : hosts) {
    SCOPED_TRACE(host.name);
    TempDeviceRoot root;
    if (host.lumaPill) applyPreferences({{"enabled", true}});  // no file at all for the host without pills
    EXPECT_EXIT(loadIntoAFreshHostAndExit(host, root), ::testing::ExitedWithCode(0), "");
  }
}

// What the platform was asked to do, as short strings ("set alpha", "add", "animate 3", ...).
struct Recorder : RecordingObserver {
  void animationBegan(aurora::AnimationSerial, double seconds) override {
    events.push_back("animate " + std::to_string(int(seconds)));
  }
  void animationCompleted(aurora::AnimationSerial, bool) override { events.push_back("complete"); }
  void constraintsAdded(const UIView&, std::string_view format, std::size_t count) override {
    events.push_back("constraints " + std::string(format) + " " + std::to_string(count));
  }
};

// The pill hooks of the extension loaded once into this process.
class PillHooksTest : public VirtualLoopTest {
 protected:
  static void SetUpTestSuite() {
    static TempDeviceRoot root;  // for the rest of the run: the settings are read from it again and again
    registerHostPills({.name = "both pills"});
    installAndLoad(root);
  }
  void SetUp() override {
    VirtualLoopTest::SetUp();
    // Absent keys keep what an earlier test read: give every setting the tests touch a baseline.
    applyPreferences({{"enabled", true}, {"style", std::string("Wave")}, {"homeBarOpacity", 1.0}});
  }
};

// Its creating pass makes, places, paints and starts it; later passes fit it while switched on.
TEST_F(PillHooksTest, TheStaticPillGetsAColorViewThatFitsIt) {
  applyPreferences({{"enabled", true}, {"style", std::string("Wave")}, {"homeBarOpacity", 0.5}});
  auto pill = makePill("MTStaticColorPillView");
  Recorder recorder;
  pill->layoutIfNeeded();  // the creating pass alone
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_STREQ(object_getClassName(colorView), "ColorPillView");
  EXPECT_EQ(colorView->superview(), pill);
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 134, 5));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 2.5);
  EXPECT_EQ(colorNum(colorView), 0u);
  EXPECT_EQ(pill->alpha(), 0.5);
  // Made; then tag, radius, red, into the pill, the style (the wave's timer), and the pill's alpha last.
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"new", "set layer.backgroundColor", "set layer.backgroundColor",
                                      "set layer.startPoint", "set layer.endPoint", "set tag", "set layer.cornerRadius",
                                      "set backgroundColor", "add", "timer", "schedule", "fire", "set alpha"}));
  // Later passes: the size follows the pill's frame, the origin stays, and it stays the only one.
  colorView->setFrame(CGRectMake(3, 1, 10, 10));
  pill->setFrame(CGRectMake(20, 800, 200, 30));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame(), CGRectMake(3, 1, 200, 30));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 15);
  pill->setFrame(CGRectMake(20, 800, 200, 0));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->layer()->cornerRadius(), 0);
  // The master switch turned off leaves the colour view alone until it comes back.
  applyPreferences({{"enabled", false}});
  pill->setFrame(CGRectMake(0, 0, 300, 20));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame().size, CGSizeMake(200, 0));  // no longer fitted
  EXPECT_EQ(pill->alpha(), 0.5);
  applyPreferences({{"enabled", true}});
  pill->setNeedsLayout();
  loop().runFor(0ns);
  EXPECT_EQ(colorViewOf(*pill), colorView);  // the same view, fitted again, and still the only one
  EXPECT_EQ(colorView->frame().size, CGSizeMake(300, 20));
  EXPECT_EQ(pill->subviews().size(), 1u);
}

// Its creating pass clips and pins it, neither rounding nor painting it red; later passes round it.
TEST_F(PillHooksTest, TheLumaPillGetsAPinnedUnpaintedColorView) {
  applyPreferences({{"enabled", true}, {"style", std::string("Fade")}, {"homeBarOpacity", 0.75}});
  auto pill = makePill("MTLumaDodgePillView");
  Recorder recorder;
  pill->layoutIfNeeded();  // the creating pass alone
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_TRUE(pill->clipsToBounds());
  EXPECT_FALSE(colorView->translatesAutoresizingMaskIntoConstraints());
  EXPECT_EQ(pill->alpha(), 0.75);
  // Clipped; made; tagged, added (the fade only queued), alpha, pinned: neither rounded nor painted red.
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"set clipsToBounds", "new", "set layer.backgroundColor",
                                      "set layer.backgroundColor", "set layer.startPoint", "set layer.endPoint",
                                      "set tag", "add", "set alpha", "set translatesAutoresizingMaskIntoConstraints",
                                      "constraints H:|-0-[colorView]-0-| 2", "constraints V:|-0-[colorView]-0-| 2"}));
  loop().runFor(0ns);  // the constraints marked the pill: the next pass pins and rounds
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 134, 5));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 2.5);
  pill->setFrame(CGRectMake(216, 820, 150, 12));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 150, 12));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 6);
}

TEST_F(PillHooksTest, AForeignViewWithTheTagIsTakenForTheColorView) {
  auto pill = makePill("MTStaticColorPillView");
  auto foreign = UIView::make(UIView::objcClass(), CGRectMake(1, 1, 2, 2));
  foreign->setTag(115);
  pill->addSubview(foreign);
  loop().runFor(0ns);
  EXPECT_EQ(pill->subviews().size(), 1u);
  EXPECT_EQ(foreign->frame(), CGRectMake(1, 1, 134, 5));
  EXPECT_EQ(foreign->layer()->cornerRadius(), 2.5);
}

// An unknown style runs nothing; a new colour view reads the file itself.
TEST_F(PillHooksTest, SettingsReachOnlyLaterColorViews) {
  applyPreferences({{"enabled", true}, {"style", std::string("wave")}, {"homeBarOpacity", 0.25}});
  auto pill = makePill("MTStaticColorPillView");
  loop().runFor(0ns);
  Recorder recorder;
  loop().runFor(30s);
  EXPECT_EQ(colorViewOf(*pill)->layer()->presentationBackgroundColor(), kRed);  // left red
  EXPECT_EQ(pill->alpha(), 0.25);
  EXPECT_EQ(recorder.events, std::vector<std::string>{});  // nothing runs
  EXPECT_EQ(loop().scheduledTimerCount(), 0u);

  applyPreferences({{"enabled", true}, {"style", std::string("Static")}, {"homeBarOpacity", 0.1}});
  pill->setNeedsLayout();
  loop().runFor(1s);
  EXPECT_EQ(pill->alpha(), 0.25);  // the colour view there keeps what it started with
  EXPECT_EQ(colorViewOf(*pill)->layer()->presentationBackgroundColor(), kRed);
  auto later = makePill("MTStaticColorPillView");
  loop().runFor(0ns);
  EXPECT_EQ(later->alpha(), static_cast<double>(0.1f));  // read as a 32-bit float
  EXPECT_EQ(colorViewOf(*later)->layer()->backgroundColor()->components(),
            (RGBA{246 / 255.0, 36 / 255.0, 89 / 255.0, 1}));

  // A new colour view reads the file itself, whether or not a change was posted.
  applyPreferences({{"enabled", true}, {"style", std::string("Static")}, {"homeBarOpacity", 0.5}}, false);
  auto unposted = makePill("MTStaticColorPillView");
  loop().runFor(0ns);
  EXPECT_EQ(unposted->alpha(), 0.5);
}

TEST_F(PillHooksTest, LumaAnimateViewCyclesBlueAndRedUntilThePillGoes) {
  applyPreferences({{"enabled", true}, {"style", std::string("none")}});
  auto pill = makePill("MTLumaDodgePillView");
  loop().runFor(0ns);
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);

  Recorder recorder;
  objc_msgSend<void>(pill.get(), kAnimateView);
  EXPECT_EQ(colorNum(colorView), 1u);    // flips before anything is drawn
  EXPECT_TRUE(recorder.events.empty());  // the animation starts from the main queue
  loop().runFor(0ns);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"animate 10", "set backgroundColor anim"}));
  loop().runFor(10s);
  EXPECT_EQ(colorView->layer()->presentationBackgroundColor(), (RGBA{0, 0, 1, 1}));  // blue
  EXPECT_EQ(colorNum(colorView), 0u);                                                // the next step chose red at once
  loop().runFor(10s);
  EXPECT_EQ(colorView->layer()->presentationBackgroundColor(), kRed);
  EXPECT_EQ(colorNum(colorView), 1u);

  pill.reset();  // the pill goes: the cycle ends at the change in flight
  recorder.events.clear();
  loop().runFor(60s);
  // The change in flight completes (painting its colour once more), sends nothing further and lets the colour view go.
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"complete", "set backgroundColor", "destroy"}));
}

}  // namespace
