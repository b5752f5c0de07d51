// Views and layers, layout sent through the runtime, and the constraint subset.
#include <atomic>
#include <optional>
#include <thread>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIView.h"
#include "dispatch/dispatch.h"
#include "substrate.h"

namespace {

using namespace aurora::testing;

Log layouts;
void (*savedLayout)(id, SEL) = nullptr;
id (*savedInit)(id, SEL, CGRect) = nullptr;

Class viewClass(const char* name, void (*layout)(id, SEL), Class super = UIView::objcClass()) {
  Class c = objc_registerClass(name, super);
  if (layout != nullptr) class_addMethod(c, sel_registerName("layoutSubviews"), layout, "v@:");
  return c;
}
// Logs its passes as "layout TAG".
Class loggingViewClass() {
  static const Class cls = viewClass(
      "LoggingView",
      +[](id self, SEL) { layouts.push_back("layout " + std::to_string(static_cast<UIView*>(self)->tag())); });
  return cls;
}
std::shared_ptr<UIView> makeView(NSInteger tag, Class cls = UIView::objcClass()) {
  auto view = UIView::make(cls, CGRectMake(0, 0, 10, 10));
  view->setTag(tag);
  return view;
}

class ViewTest : public VirtualLoopTest {
  void SetUp() override {
    VirtualLoopTest::SetUp();
    layouts.clear();
  }
};

// Tags are found depth first, the view itself first; cycles are refused.
TEST_F(ViewTest, TheTreeOwnsDownwardsAndReportsEveryChange) {
  auto root = makeView(1), a = makeView(2), a1 = makeView(7), b = makeView(7), c = makeView(1), other = makeView(3);
  root->addSubview(a);
  a->addSubview(a1);
  root->addSubview(b);
  b->addSubview(c);
  EXPECT_EQ((std::vector{root->viewWithTag(1), root->viewWithTag(7), b->viewWithTag(1), root->viewWithTag(99)}),
            (std::vector<UIView*>{root.get(), a1.get(), c.get(), nullptr}));
  RecordingObserver observer;
  root->addSubview(makeView(4));
  std::weak_ptr<UIView> child = root->subviews().back();
  EXPECT_EQ(child.lock()->superview(), root);
  child.lock()->setAlpha(1.0);
  child.lock()->setFrame(child.lock()->frame());
  child.lock()->removeFromSuperview();
  EXPECT_TRUE(child.expired());
  root->addSubview(a);
  EXPECT_EQ(root->subviews(), (std::vector{b, a}));
  other->addSubview(a);  // leaves its old parent
  EXPECT_EQ(root->subviews(), (std::vector{b}));
  EXPECT_THROW(a->addSubview(other), std::invalid_argument);
  EXPECT_THROW(a->addSubview(a), std::invalid_argument);
  std::weak_ptr<UIView> watchRoot = root;
  root.reset();
  EXPECT_TRUE(watchRoot.expired());  // superviews are weak
  EXPECT_EQ(b->superview(), nullptr);
  EXPECT_EQ(observer.events, (Log{"new", "set tag", "add", "set alpha", "set frame", "remove", "destroy", "add",
                                  "remove", "add", "destroy"}));
}

// Each report reaches every observer, in the order they were added; one that goes hears no more.
TEST_F(ViewTest, EveryObserverHearsEachReportInTheOrderAdded) {
  Log heard;
  struct Named final : aurora::PlatformObserver {
    Named(Log& log, std::string name) : log(log), name(std::move(name)) {}
    void viewCreated(const UIView&) override { log.push_back(name); }
    Log& log;
    std::string name;
  };
  Named first(heard, "first"), second(heard, "second"), third(heard, "third");
  EXPECT_FALSE(aurora::platformObserved());
  std::optional<aurora::ObserverRegistration> listeningFirst, listeningSecond, listeningThird;
  listeningSecond.emplace(second);
  listeningFirst.emplace(first);
  listeningThird.emplace(third);
  makeView(1);
  EXPECT_THROW(aurora::addPlatformObserver(third), std::logic_error);  // once only
  listeningThird.reset();
  makeView(2);
  listeningSecond.reset();
  aurora::removePlatformObserver(second);  // no longer listening: nothing happens
  makeView(3);
  listeningFirst.reset();
  EXPECT_FALSE(aurora::platformObserved());
  makeView(4);
  EXPECT_EQ(heard, (Log{"second", "first", "third", "second", "first", "first"}));
}

// A read reports from the reading thread while the main thread adds and removes observers.
TEST_F(ViewTest, ObserversComeAndGoWhileAnotherThreadReports) {
  struct Reads final : aurora::PlatformObserver {
    void dictionaryRead(std::string_view, const NSDictionary*) override { ++count; }
    std::atomic<int> count{0};
  } steady, coming;
  const aurora::ObserverRegistration listening(steady);
  constexpr int kReads = 2000;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (int i = 0; i < kReads; ++i) NSDictionary::dictionaryWithContentsOfFile("/nowhere.plist");
    done = true;
  });
  while (!done) const aurora::ObserverRegistration comesAndGoes(coming);
  reader.join();
  EXPECT_EQ(steady.count, kReads);  // the one that stayed heard every read
}

// A gradient starts vertical and copies its colours; the view's background is its layer's.
TEST_F(ViewTest, EachViewGetsTheLayerItsClassAsksFor) {
  static const Class gradientClass = [] {
    Class c = viewClass("GradientView", nullptr);
    class_addClassMethod(
        c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
    return c;
  }();
  auto plain = makeView(0), gradient = makeView(0, gradientClass);
  EXPECT_EQ(object_getClass(plain->layer()), CALayer::objcClass());
  EXPECT_EQ(objc_cast<CAGradientLayer>(plain->layer()), nullptr);
  auto* layer = objc_cast<CAGradientLayer>(gradient->layer());
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->startPoint(), CGPointMake(0.5, 0.0));
  EXPECT_EQ(layer->endPoint(), CGPointMake(0.5, 1.0));
  std::vector<CGColorRef> colors{UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()};
  layer->setColors(colors);
  colors.clear();
  ASSERT_EQ(layer->colors().size(), 2u);
  EXPECT_EQ(layer->colors()[1]->components(), kBlue);
  plain->setBackgroundColor(UIColor::blueColor());
  EXPECT_EQ(plain->layer()->backgroundColor()->components(), kBlue);
  plain->layer()->setBackgroundColor(UIColor::redColor()->CGColor());
  EXPECT_EQ(plain->backgroundColor()->components(), kRed);
  EXPECT_EQ(plain->layer()->presentationBackgroundColor(), kRed);
}

// A view marked during a pass waits for the next turn, after the tasks of this one.
TEST_F(ViewTest, LayoutRunsAtTheNextTurnParentsFirstWhenMarkedOrResized) {
  static const Class resizing = viewClass(
      "ResizingView", +[](id self, SEL) {
        layouts.push_back("layout parent");
        auto& child = static_cast<UIView*>(self)->subviews().front();
        child->setFrame(CGRectMake(0, 0, child->frame().size.width + 1, 10));
        dispatch_async(dispatch_get_main_queue(), [] { layouts.push_back("task"); });
      });
  auto child = makeView(2, loggingViewClass()), parent = makeView(1, resizing);
  parent->addSubview(child);
  EXPECT_TRUE(layouts.empty());
  loop().runFor(0ns);
  parent->setNeedsLayout();
  loop().runFor(0ns);
  EXPECT_EQ(layouts, (Log{"layout parent", "layout 2", "task", "layout parent", "task", "layout 2"}));
  EXPECT_EQ(loop().now(), 0ns);
  layouts.clear();
  child->setFrame(CGRect{CGPointMake(5, 5), child->frame().size});  // moved, not resized
  loop().runFor(1s);
  EXPECT_TRUE(layouts.empty());
  child->setFrame(CGRectMake(5, 5, 20, 10));
  loop().runFor(0ns);
  EXPECT_EQ(layouts, (Log{"layout 2"}));
}

TEST_F(ViewTest, LayoutCallsTheHookedLayoutSubviews) {
  static const Class hostPill = [] {
    Class c = viewClass("HookedHostPill", nullptr, loggingViewClass());
    MSHookMessageEx(
        c, sel_registerName("layoutSubviews"),
        +[](id self, SEL sel) {
          savedLayout(self, sel);
          layouts.push_back("hooked");
        },
        &savedLayout);
    return c;
  }();
  auto pill = makeView(5, hostPill);
  loop().runFor(0ns);
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // at once, not at the next turn
  EXPECT_EQ(layouts, (Log{"layout 5", "hooked", "layout 5", "hooked"}));
}

TEST_F(ViewTest, AnInitialiserAnsweringNilMakesNoView) {
  static const Class refusing = viewClass("RefusingView", nullptr);
  MSHookMessageEx(
      refusing, sel_registerName("initWithFrame:"), +[](id, SEL, CGRect) -> id { return nullptr; }, &savedInit);
  RecordingObserver observer;
  EXPECT_EQ(UIView::make(refusing, CGRectMake(0, 0, 1, 1)), nullptr);
  EXPECT_TRUE(observer.events.empty());  // never initialised: neither made nor destroyed as a view
  EXPECT_THROW(UIView::make(CALayer::objcClass(), CGRect{}), std::invalid_argument);
}

// The constraint subset: visual formats and bindings, applied by the base layout pass.
class LayoutConstraintTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();  // before the views: a reset drops their first pass
    pill = UIView::make(UIView::objcClass(), CGRectMake(40, 831, 134, 5));
    inner = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
    pill->addSubview(inner);
    views = _NSDictionaryOfVariableBindings("colorView", {inner.get()});
  }
  NSLayoutConstraintList constraints(std::string_view format) {
    return NSLayoutConstraint::constraintsWithVisualFormat(format, 0, nullptr, views);
  }
  std::shared_ptr<UIView> pill, inner;
  NSLayoutViewBindings views;
};

// From the next pass on, through the ordinary frame setter (observers see it).
TEST_F(LayoutConstraintTest, PinnedEdgesFollowTheSuperview) {
  RecordingObserver observer;
  auto vertical = constraints("V:|-0-[colorView]-0-|");
  ASSERT_EQ(vertical.size(), 2u);
  EXPECT_EQ(vertical[0]->attribute(), NSLayoutAttribute::Top);
  EXPECT_EQ(vertical[1]->attribute(), NSLayoutAttribute::Bottom);
  pill->addConstraints(constraints("H:|-0-[colorView]-0-|"));
  pill->addConstraints(vertical);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 10, 10));  // not before the pass
  loop().runFor(0ns);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 134, 5));
  EXPECT_EQ(observer.events.back(), "set frame");
  pill->setFrame(CGRectMake(40, 800, 200, 30));
  loop().runFor(0ns);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 200, 30));
}

TEST_F(LayoutConstraintTest, GapsAndShortFormsPlaceTheEdgesAnythingElseIsRefused) {
  pill->addConstraints(constraints("|-4-[colorView]-10-|"));
  pill->addConstraints(constraints("V:|[colorView]-1.5-|"));
  pill->layoutIfNeeded();
  EXPECT_EQ(inner->frame(), CGRectMake(4, 0, 120, 3.5));
  EXPECT_EQ(constraints("H:|-1000000000-[colorView]-0-|").size(), 2u);  // the widest gap taken
  for (std::string_view format :
       {"", "H:|-0-[colorView]", "H:[colorView]-0-|", "H:|-[colorView]-|", "H:|-0-[other]-0-|",
        "H:|-0-[colorView]-0-|junk", "X:|-0-[colorView]-0-|", "H:|-0-[colorView(>=5)]-0-|", "H:|--1-[colorView]-0-|",
        "H:|-0-[colorView]-0-[colorView]-0-|"}) {
    EXPECT_THROW(constraints(format), std::invalid_argument) << format;
  }
  EXPECT_THROW(NSLayoutConstraint::constraintsWithVisualFormat("H:|-0-[colorView]-0-|", 1, nullptr, views),
               std::invalid_argument);
  EXPECT_THROW(_NSDictionaryOfVariableBindings("a, b", {inner.get()}), std::invalid_argument);
  std::weak_ptr<UIView> watch = inner;
  views.clear();
  inner->removeFromSuperview();
  inner.reset();
  EXPECT_TRUE(watch.expired());
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // nothing left to place: no crash
}

}  // namespace
