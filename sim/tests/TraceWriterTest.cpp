// The trace writer: the first line, time, ids, value shapes, nulls, and which
// events are left out.
#include "TraceWriter.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Foundation/NSTimer.h"
#include "SimTestSupport.h"
#include "TraceForm.h"
#include "UIKit/UIView.h"

namespace sim {
namespace {

using nlohmann::json;

class TraceWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }

  std::vector<json> events() const { return test::traceEvents(out_.str()); }

  std::ostringstream out_;
  TraceWriter writer_{out_, TraceFlush::AtEnd};
};

std::shared_ptr<UIView> makeView(CGRect frame = CGRectMake(0, 0, 10, 10)) { return UIView::make(UIView::objcClass(), frame); }

TEST_F(TraceWriterTest, StartsWithTheHeaderLineAndStampsSeconds) {
  test::ObserverScope scope(writer_);
  EXPECT_EQ(out_.str(), "{\"ev\":\"trace\",\"version\":1}\n");
  NSRunLoop::mainRunLoop().runFor(std::chrono::milliseconds(1500));
  auto view = makeView();
  const auto all = events();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0], (json{{"t", 1.5}, {"ev", "new"}, {"id", "v1"}, {"class", "UIView"}, {"frame", {0, 0, 10, 10}}}));
  EXPECT_NE(out_.str().find("{\"t\":1.5,\"ev\":\"new\",\"id\":\"v1\",\"class\":\"UIView\",\"frame\":[0,0,10,10]}"), std::string::npos);
}

TEST_F(TraceWriterTest, NamesPillsAndNumbersOtherViewsInOrder) {
  test::ObserverScope scope(writer_);
  auto first = makeView();
  writer_.willMakePill(objc_getClass("MTStaticColorPillView"), "home");
  auto pill = UIView::make(objc_getClass("MTStaticColorPillView"), CGRectMake(40, 831, 134, 5));
  writer_.didMakePill();
  auto second = makeView();
  pill->addSubview(second);

  const auto made = test::eventsOf(events(), "new");
  ASSERT_EQ(made.size(), 3u);
  EXPECT_EQ(made[0]["id"], "v1");
  EXPECT_EQ(made[1]["id"], "home");
  EXPECT_EQ(made[1]["class"], "MTStaticColorPillView");
  EXPECT_EQ(made[2]["id"], "v2");  // a pill does not use up a generated id
  EXPECT_EQ(test::eventsOf(events(), "add").at(0), (json{{"t", 0}, {"ev", "add"}, {"parent", "home"}, {"id", "v2"}}));
  EXPECT_EQ(test::eventsOf(events(), "set").at(0)["id"], "home");  // the pill's own grey
}

// A view class whose initialiser makes another view before its own.
id initMakingAnotherViewFirst(id self, SEL sel, CGRect frame) {
  auto inner = makeView();
  return objc_msgSendSuper<id>(objc_getClass("TraceNamingTestView"), self, sel, frame);
}

TEST_F(TraceWriterTest, ThePillIsTheFirstViewOfItsClassMadeMeanwhile) {
  Class cls = objc_registerClass("TraceNamingTestView", UIView::objcClass());
  class_addMethod(cls, sel_registerName("initWithFrame:"), &initMakingAnotherViewFirst, "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  test::ObserverScope scope(writer_);
  writer_.willMakePill(cls, "outer");
  auto pill = UIView::make(cls, CGRectMake(0, 0, 1, 1));
  writer_.didMakePill();
  const auto made = test::eventsOf(events(), "new");
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0]["id"], "v1");
  EXPECT_EQ(made[1]["id"], "outer");
}

TEST_F(TraceWriterTest, LeavesOutEventsAboutViewsMadeBeforeTracing) {
  auto window = makeView(CGRectMake(0, 0, 390, 844));
  test::ObserverScope scope(writer_);
  window->setAlpha(0.5);
  auto child = makeView();
  window->addSubview(child);
  child->removeFromSuperview();
  window.reset();
  const auto all = events();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["ev"], "new");
  EXPECT_EQ(all[1], (json{{"t", 0}, {"ev", "remove"}, {"id", "v1"}}));
}

TEST_F(TraceWriterTest, PrintsValuesInTheirShapesAndNonFiniteNumbersAsNull) {
  test::ObserverScope scope(writer_);
  auto view = makeView();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  view->setAlpha(nan);
  view->setFrame(CGRectMake(1, 2, std::numeric_limits<double>::infinity(), 4));
  view->setTag(115);
  view->setClipsToBounds(true);
  view->setBackgroundColor(UIColor::colorWithRed(0.25, 0.5, 1, 1));
  view->layer()->setCornerRadius(2.5);
  const auto sets = test::eventsOf(events(), "set");
  ASSERT_EQ(sets.size(), 6u);
  EXPECT_EQ(sets[0]["prop"], "alpha");
  EXPECT_TRUE(sets[0]["value"].is_null());
  EXPECT_EQ(sets[1]["value"], json::parse("[1,2,null,4]"));
  EXPECT_EQ(sets[2]["value"], 115);
  EXPECT_TRUE(sets[2]["value"].is_number_integer());
  EXPECT_EQ(sets[3]["value"], true);
  EXPECT_EQ(sets[4]["prop"], "backgroundColor");
  EXPECT_EQ(sets[4]["value"], json::parse("[0.25,0.5,1,1]"));
  EXPECT_EQ(sets[5]["prop"], "layer.cornerRadius");
  EXPECT_NE(out_.str().find("\"prop\":\"alpha\",\"value\":null"), std::string::npos);
}

TEST_F(TraceWriterTest, NumbersAnimationsAndTimersAndMarksAnimatedSets) {
  test::ObserverScope scope(writer_);
  auto view = makeView();
  UIView::animateWithDuration(0.5, [&] { view->setBackgroundColor(UIColor::redColor()); });
  UIView::animateWithDuration(std::numeric_limits<double>::quiet_NaN(), nullptr);
  auto timer = NSTimer::timerWithTimeInterval(0.25, true, [](NSTimer&) {});
  NSRunLoop::mainRunLoop().addTimer(timer, NSDefaultRunLoopMode);
  NSRunLoop::mainRunLoop().runFor(std::chrono::milliseconds(600));
  timer->invalidate();

  const auto all = events();
  const auto animates = test::eventsOf(all, "animate");
  ASSERT_EQ(animates.size(), 2u);
  EXPECT_EQ(animates[0]["anim"], "a1");
  EXPECT_EQ(animates[0]["duration"], 0.5);
  EXPECT_EQ(animates[1]["anim"], "a2");
  EXPECT_TRUE(animates[1]["duration"].is_null());
  const auto animatedSet = test::eventsOf(all, "set").at(0);
  EXPECT_EQ(animatedSet["anim"], "a1");
  const auto completes = test::eventsOf(all, "complete");  // by end time: a2 lasts one display frame
  ASSERT_EQ(completes.size(), 2u);
  EXPECT_EQ(completes[0], (json{{"t", 0.016666667}, {"ev", "complete"}, {"anim", "a2"}, {"finished", true}}));
  EXPECT_EQ(completes[1]["anim"], "a1");
  EXPECT_EQ(completes[1]["t"], 0.5);
  EXPECT_EQ(test::eventsOf(all, "timer").at(0), (json{{"t", 0}, {"ev", "timer"}, {"timer", "t1"}, {"interval", 0.25}, {"repeats", true}}));
  EXPECT_EQ(test::eventsOf(all, "schedule").at(0)["mode"], "NSDefaultRunLoopMode");
  EXPECT_EQ(test::eventsOf(all, "fire").size(), 2u);
  EXPECT_EQ(test::eventsOf(all, "invalidate").at(0)["timer"], "t1");
  EXPECT_EQ(test::traceFormProblems(out_.str()), std::vector<std::string>{});
}

TEST_F(TraceWriterTest, ReportsDestroyedViewsOnce) {
  test::ObserverScope scope(writer_);
  makeView();
  const auto all = events();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1], (json{{"t", 0}, {"ev", "destroy"}, {"id", "v1"}}));
}

TEST_F(TraceWriterTest, WritesLibraryNotificationAndReadEvents) {
  writer_.libraryLoaded("/Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib");
  writer_.dictionaryRead("/var/mobile/Library/Preferences/x.plist", false);
  writer_.notificationPosted("com.example.changed");
  writer_.notificationDelivered("com.example.changed");
  const auto all = events();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], (json{{"t", 0}, {"ev", "load"}, {"path", "/Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib"}}));
  EXPECT_EQ(all[1], (json{{"t", 0}, {"ev", "read"}, {"path", "/var/mobile/Library/Preferences/x.plist"}, {"ok", false}}));
  EXPECT_EQ(all[2]["ev"], "post");
  EXPECT_EQ(all[3], (json{{"t", 0}, {"ev", "deliver"}, {"name", "com.example.changed"}}));
  EXPECT_EQ(test::traceFormProblems(out_.str()), std::vector<std::string>{});
}

}  // namespace
}  // namespace sim
