// The pill hooks, through the real extension loaded by the device loader into
// this test host: the creating pass, later passes, the master switch, foreign
// views, styles, and the luma-dodge pill's added two-colour cycle.
#include <gtest/gtest.h>

#include <map>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSRunLoop.h"
#include "TestHost.h"
#include "aurora/PlatformObserver.h"

namespace {

using namespace aurora::testing;
using namespace std::chrono_literals;

const CGRect kPillFrame = CGRectMake(40, 831, 134, 5);

// Records the calls that make up what a pill shows, naming views by role.
class Recorder : public aurora::PlatformObserver {
 public:
  Recorder() { aurora::setPlatformObserver(this); }
  ~Recorder() override { aurora::setPlatformObserver(nullptr); }
  std::vector<std::string> events;
  std::map<const UIView*, std::string> names;

  std::string name(const UIView& view) {
    auto it = names.find(&view);
    return it != names.end() ? it->second : object_getClassName(&view);
  }
  void viewCreated(const UIView& view) override { events.push_back("new " + name(view)); }
  void subviewAdded(const UIView& parent, const UIView& child) override {
    events.push_back("add " + name(child) + " to " + name(parent));
  }
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue&,
                   aurora::AnimationSerial animation) override {
    events.push_back("set " + name(view) + " " + aurora::viewPropertyName(property) + (animation ? " animated" : ""));
  }
  void timerCreated(const NSTimer&) override { events.push_back("timer"); }
  void animationBegan(aurora::AnimationSerial, double seconds) override {
    events.push_back("animate " + std::to_string(static_cast<int>(seconds)));
  }
  void constraintsAdded(const UIView& view, std::string_view format, std::size_t count) override {
    events.push_back("constraints " + name(view) + " " + std::string(format) + " " + std::to_string(count));
  }
};

class PillHooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root = new TempDeviceRoot();
    registerHostPills();
    installExtension(*root);
    loadExtensions();
  }
  static void TearDownTestSuite() {
    delete root;
    root = nullptr;
  }
  void SetUp() override {
    loop().reset(std::make_unique<aurora::VirtualClock>());
    // Absent keys keep what an earlier test read: give every setting the tests touch a baseline.
    applyPreferences({{"enabled", true}, {"style", std::string("Wave")}, {"homeBarOpacity", 1.0}});
  }
  void TearDown() override { loop().reset(std::make_unique<aurora::VirtualClock>()); }

  static NSRunLoop& loop() { return NSRunLoop::mainRunLoop(); }

  // Writes the file and posts the settings-changed notification, as the settings pane does.
  static void applyPreferences(const std::vector<aurora::PreferenceEntry>& entries) {
    writePreferences(entries);
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kSettingsChanged, nullptr,
                                         nullptr, true);
    loop().runFor(0ns);
  }

  static UIView* colorViewOf(UIView& pill) { return pill.viewWithTag(115); }
  static NSUInteger colorNum(UIView* colorView) {
    return objc_msgSend<NSUInteger>(colorView, sel_registerName("colorNum"));
  }

  static TempDeviceRoot* root;
};

TempDeviceRoot* PillHooksTest::root = nullptr;

TEST_F(PillHooksTest, StaticPillCreatingPassMakesPlacesPaintsAndStartsTheColourView) {
  applyPreferences({{"enabled", true}, {"style", std::string("Wave")}, {"homeBarOpacity", 0.5}});
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  Recorder recorder;
  recorder.names[pill.get()] = "pill";
  pill->layoutIfNeeded();  // the creating pass alone

  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_STREQ(object_getClassName(colorView), "ColorPillView");
  EXPECT_EQ(colorView->superview(), pill);
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 134, 5));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 2.5);
  EXPECT_EQ(colorNum(colorView), 0u);
  EXPECT_EQ(pill->alpha(), 0.5);

  // The order of the pass: tag, radius, red, then into the pill, the style, and the pill's alpha last.
  std::vector<std::string> pass;
  for (const auto& e : recorder.events) {
    if (e.starts_with("set ColorPillView tag") || e.starts_with("set ColorPillView layer.cornerRadius") ||
        e == "set ColorPillView backgroundColor" || e.starts_with("add ") || e == "timer" || e == "set pill alpha") {
      pass.push_back(e);
    }
  }
  EXPECT_EQ(pass, (std::vector<std::string>{"set ColorPillView tag", "set ColorPillView layer.cornerRadius",
                                            "set ColorPillView backgroundColor", "add ColorPillView to pill", "timer",
                                            "set pill alpha"}));
}

TEST_F(PillHooksTest, StaticPillLaterPassesFollowTheFrameKeepingTheOrigin) {
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  loop().runFor(0ns);
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  colorView->setFrame(CGRectMake(3, 1, 10, 10));
  pill->setFrame(CGRectMake(20, 800, 200, 30));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame(), CGRectMake(3, 1, 200, 30));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 15);
  pill->setFrame(CGRectMake(20, 800, 200, 0));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->layer()->cornerRadius(), 0);
}

TEST_F(PillHooksTest, LumaPillCreatingPassClipsPinsAndNeitherRoundsNorPaintsRed) {
  applyPreferences({{"enabled", true}, {"style", std::string("Fade")}, {"homeBarOpacity", 0.75}});
  auto pill = makePill("MTLumaDodgePillView", kPillFrame);
  Recorder recorder;
  recorder.names[pill.get()] = "pill";
  pill->layoutIfNeeded();  // the creating pass alone

  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_TRUE(pill->clipsToBounds());
  EXPECT_FALSE(colorView->translatesAutoresizingMaskIntoConstraints());
  EXPECT_EQ(colorView->layer()->cornerRadius(), 0);
  EXPECT_NE(colorView->layer()->backgroundColor()->components(), (RGBA{1, 0, 0, 1}));
  EXPECT_EQ(pill->alpha(), 0.75);
  std::vector<std::string> pass;
  for (const auto& e : recorder.events) {
    if (e.starts_with("set pill") || e.starts_with("constraints") || e.starts_with("add ") ||
        e.starts_with("set ColorPillView translates") || e.starts_with("set ColorPillView backgroundColor")) {
      pass.push_back(e);
    }
  }
  EXPECT_EQ(pass, (std::vector<std::string>{"set pill clipsToBounds", "add ColorPillView to pill", "set pill alpha",
                                            "set ColorPillView translatesAutoresizingMaskIntoConstraints",
                                            "constraints pill H:|-0-[colorView]-0-| 2",
                                            "constraints pill V:|-0-[colorView]-0-| 2"}));
}

TEST_F(PillHooksTest, LumaPillLaterPassesRoundTheColourViewWhichTheConstraintsSize) {
  auto pill = makePill("MTLumaDodgePillView", kPillFrame);
  pill->layoutIfNeeded();
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_EQ(colorView->layer()->cornerRadius(), 0);  // not on the creating pass
  loop().runFor(0ns);  // the constraints marked the pill: the next pass pins and rounds
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 134, 5));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 2.5);
  pill->setFrame(CGRectMake(216, 820, 150, 12));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame(), CGRectMake(0, 0, 150, 12));
  EXPECT_EQ(colorView->layer()->cornerRadius(), 6);
}

TEST_F(PillHooksTest, MasterSwitchOffMakesNothingAndLaterLeavesTheColourViewAlone) {
  applyPreferences({{"enabled", false}});
  auto off = makePill("MTLumaDodgePillView", kPillFrame);
  loop().runFor(1s);
  EXPECT_EQ(colorViewOf(*off), nullptr);
  EXPECT_FALSE(off->clipsToBounds());
  EXPECT_EQ(off->alpha(), 1.0);

  applyPreferences({{"enabled", true}, {"homeBarOpacity", 0.5}});
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  loop().runFor(0ns);
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  applyPreferences({{"enabled", false}});
  pill->setFrame(CGRectMake(0, 0, 300, 20));
  loop().runFor(0ns);
  EXPECT_EQ(colorView->frame().size, CGSizeMake(134, 5));  // no longer fitted
  EXPECT_EQ(pill->alpha(), 0.5);
  applyPreferences({{"enabled", true}});
  pill->setNeedsLayout();
  loop().runFor(0ns);
  EXPECT_EQ(colorViewOf(*pill), colorView);  // the same view, fitted again
  EXPECT_EQ(colorView->frame().size, CGSizeMake(300, 20));
  EXPECT_EQ(pill->subviews().size(), 1u);
}

TEST_F(PillHooksTest, AForeignViewWithTheTagIsTakenForTheColourView) {
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  auto foreign = UIView::make(UIView::objcClass(), CGRectMake(1, 1, 2, 2));
  foreign->setTag(115);
  pill->addSubview(foreign);
  loop().runFor(0ns);
  EXPECT_EQ(pill->subviews().size(), 1u);
  EXPECT_EQ(foreign->frame(), CGRectMake(1, 1, 134, 5));
  EXPECT_EQ(foreign->layer()->cornerRadius(), 2.5);
}

TEST_F(PillHooksTest, TwoPassesMakeOneColourView) {
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  loop().runFor(0ns);
  pill->setNeedsLayout();
  pill->layoutIfNeeded();
  EXPECT_EQ(pill->subviews().size(), 1u);
}

TEST_F(PillHooksTest, UnknownStyleLeavesTheColourViewRedAndStillWithTheAlphaSet) {
  applyPreferences({{"enabled", true}, {"style", std::string("wave")}, {"homeBarOpacity", 0.25}});
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  Recorder recorder;
  loop().runFor(0ns);
  recorder.events.clear();
  loop().runFor(30s);
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  EXPECT_EQ(colorView->layer()->presentationBackgroundColor(), (RGBA{1, 0, 0, 1}));
  EXPECT_EQ(pill->alpha(), 0.25);
  EXPECT_TRUE(recorder.events.empty());  // nothing runs
  EXPECT_EQ(loop().scheduledTimerCount(), 0u);
}

TEST_F(PillHooksTest, SettingsChangedAfterTheColourViewExistsChangeNothingOnIt) {
  auto pill = makePill("MTStaticColorPillView", kPillFrame);
  loop().runFor(0ns);
  applyPreferences({{"enabled", true}, {"style", std::string("Static")}, {"homeBarOpacity", 0.1}});
  pill->setNeedsLayout();
  loop().runFor(1s);
  EXPECT_EQ(pill->alpha(), 1.0);
  EXPECT_EQ(loop().scheduledTimerCount(), 1u);  // still the wave it started with
  auto later = makePill("MTStaticColorPillView", kPillFrame);
  loop().runFor(0ns);
  EXPECT_EQ(later->alpha(), static_cast<double>(0.1f));  // read as a 32-bit float
  EXPECT_EQ(colorViewOf(*later)->layer()->backgroundColor()->components(), (RGBA{246 / 255.0, 36 / 255.0, 89 / 255.0, 1}));
}

TEST_F(PillHooksTest, LumaAnimateViewCyclesBlueAndRedTenSecondsEachUntilThePillGoes) {
  applyPreferences({{"enabled", true}, {"style", std::string("none")}});
  auto pill = makePill("MTLumaDodgePillView", kPillFrame);
  loop().runFor(0ns);
  UIView* colorView = colorViewOf(*pill);
  ASSERT_NE(colorView, nullptr);
  std::weak_ptr<UIView> watchColorView = objc_retain(colorView);
  const RGBA blue{0, 0, 1, 1}, red{1, 0, 0, 1};

  Recorder recorder;
  objc_msgSend<void>(pill.get(), sel_registerName("animateView"));
  EXPECT_EQ(colorNum(colorView), 1u);  // flips before anything is drawn
  EXPECT_TRUE(recorder.events.empty());  // the animation starts from the main queue
  loop().runFor(0ns);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"animate 10", "set ColorPillView backgroundColor animated"}));
  loop().runFor(5s);
  EXPECT_NE(colorView->layer()->presentationBackgroundColor(), blue);
  loop().runFor(5s);
  EXPECT_EQ(colorView->layer()->presentationBackgroundColor(), blue);
  EXPECT_EQ(colorNum(colorView), 0u);  // the next step chose red at once
  loop().runFor(10s);
  EXPECT_EQ(colorView->layer()->presentationBackgroundColor(), red);
  EXPECT_EQ(colorNum(colorView), 1u);

  objc_msgSend<void>(colorView, sel_registerName("setColorNum:"), NSUInteger{2});
  pill.reset();  // the pill goes: the cycle ends at the change in flight
  recorder.events.clear();
  loop().runFor(60s);
  // The change in flight completes (painting its colour once more) and sends nothing further.
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"set ColorPillView backgroundColor"}));
  EXPECT_TRUE(watchColorView.expired());
}

TEST_F(PillHooksTest, LumaAnimateViewPaintsNothingWithoutAColourView) {
  applyPreferences({{"enabled", false}});
  auto pill = makePill("MTLumaDodgePillView", kPillFrame);
  auto foreign = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 1, 1));
  foreign->setTag(115);
  Recorder recorder;
  objc_msgSend<void>(pill.get(), sel_registerName("animateView"));
  pill->addSubview(foreign);
  objc_msgSend<void>(pill.get(), sel_registerName("animateView"));
  loop().runFor(30s);
  for (const auto& e : recorder.events) EXPECT_FALSE(e.starts_with("animate")) << e;
}

}  // namespace
