// Views and layers: the view tree, tags, layer classes, backgrounds, and the
// layout machinery sending layoutSubviews through the runtime.
#include "PlatformTestSupport.h"
#include "QuartzCore/CAGradientLayer.h"
#include "UIKit/UIView.h"
#include "dispatch/dispatch.h"
#include "substrate.h"

namespace {

using namespace aurora::testing;

std::vector<std::string> log;

// A view class that logs its passes under its tag.
void loggingLayoutSubviews(id self, SEL) { log.push_back("layout " + std::to_string(static_cast<UIView*>(self)->tag())); }

Class loggingViewClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("LoggingView", UIView::objcClass());
    class_addMethod(c, sel_registerName("layoutSubviews"), &loggingLayoutSubviews, "v@:");
    return c;
  }();
  return cls;
}

Class gradientViewClass() {
  static const Class cls = [] {
    Class c = objc_registerClass("GradientView", UIView::objcClass());
    class_addClassMethod(c, sel_registerName("layerClass"), +[](Class, SEL) { return CAGradientLayer::objcClass(); });
    return c;
  }();
  return cls;
}

class ViewTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    log.clear();
  }
  static std::shared_ptr<UIView> makeView(NSInteger tag, Class cls = UIView::objcClass()) {
    auto view = UIView::make(cls, CGRectMake(0, 0, 10, 10));
    view->setTag(tag);
    return view;
  }
};

TEST_F(ViewTest, ViewWithTagLooksAtTheReceiverThenDepthFirstInOrder) {
  auto root = makeView(1);
  auto a = makeView(2), a1 = makeView(7), b = makeView(7), c = makeView(1);
  root->addSubview(a);
  a->addSubview(a1);
  root->addSubview(b);
  b->addSubview(c);
  EXPECT_EQ(root->viewWithTag(1), root.get());
  EXPECT_EQ(root->viewWithTag(7), a1.get());  // inside the first subview before the second subview
  EXPECT_EQ(b->viewWithTag(1), c.get());
  EXPECT_EQ(root->viewWithTag(99), nullptr);
}

TEST_F(ViewTest, ParentsOwnSubviewsAndSuperviewsAreWeak) {
  auto parent = makeView(0);
  std::weak_ptr<UIView> child;
  {
    auto view = makeView(1);
    parent->addSubview(view);
    child = view;
  }
  ASSERT_FALSE(child.expired());
  EXPECT_EQ(child.lock()->superview(), parent);
  child.lock()->removeFromSuperview();
  EXPECT_TRUE(child.expired());
  EXPECT_TRUE(parent->subviews().empty());

  auto kept = makeView(2);
  parent->addSubview(kept);
  std::weak_ptr<UIView> watchParent = parent;
  parent.reset();
  EXPECT_TRUE(watchParent.expired());
  EXPECT_EQ(kept->superview(), nullptr);
}

TEST_F(ViewTest, AddingMovesAViewToTheFrontAndRefusesCycles) {
  auto parent = makeView(0), a = makeView(1), b = makeView(2), other = makeView(3);
  parent->addSubview(a);
  parent->addSubview(b);
  parent->addSubview(a);
  ASSERT_EQ(parent->subviews().size(), 2u);
  EXPECT_EQ(parent->subviews().back(), a);
  other->addSubview(a);  // leaves its old parent
  EXPECT_EQ(parent->subviews().size(), 1u);
  EXPECT_THROW(a->addSubview(other), std::invalid_argument);
  EXPECT_THROW(a->addSubview(a), std::invalid_argument);
}

TEST_F(ViewTest, EachClassGetsTheLayerItsClassAnswers) {
  auto plain = makeView(0);
  auto gradient = makeView(0, gradientViewClass());
  EXPECT_EQ(object_getClass(plain->layer()), CALayer::objcClass());
  auto* layer = objc_cast<CAGradientLayer>(gradient->layer());
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(objc_cast<CAGradientLayer>(plain->layer()), nullptr);
  EXPECT_EQ(layer->startPoint(), CGPointMake(0.5, 0.0));
  EXPECT_EQ(layer->endPoint(), CGPointMake(0.5, 1.0));
}

TEST_F(ViewTest, GradientKeepsItsOwnCopyOfTheColours) {
  auto gradient = makeView(0, gradientViewClass());
  auto* layer = objc_cast<CAGradientLayer>(gradient->layer());
  std::vector<CGColorRef> colors{UIColor::redColor()->CGColor(), UIColor::blueColor()->CGColor()};
  layer->setColors(colors);
  colors.clear();
  ASSERT_EQ(layer->colors().size(), 2u);
  EXPECT_EQ(layer->colors()[1]->components(), (RGBA{0, 0, 1, 1}));
}

TEST_F(ViewTest, ViewAndLayerBackgroundsAreOneValueReportedAsTheCallMade) {
  RecordingObserver observer;
  auto view = makeView(0);
  observer.events.clear();
  view->setBackgroundColor(UIColor::blueColor());
  EXPECT_EQ(view->layer()->backgroundColor()->components(), (RGBA{0, 0, 1, 1}));
  view->layer()->setBackgroundColor(UIColor::redColor()->CGColor());
  EXPECT_EQ(view->backgroundColor()->components(), (RGBA{1, 0, 0, 1}));
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), (RGBA{1, 0, 0, 1}));
  EXPECT_EQ(observer.events, (std::vector<std::string>{"set backgroundColor", "set layer.backgroundColor"}));
}

TEST_F(ViewTest, TreeChangesAndSettersAreReportedEvenWhenUnchanged) {
  RecordingObserver observer;
  {
    auto parent = makeView(0);
    auto child = makeView(0);
    parent->addSubview(child);
    child->setAlpha(1.0);
    child->setFrame(child->frame());
    child->removeFromSuperview();
  }
  EXPECT_EQ(observer.events, (std::vector<std::string>{"new", "set tag", "new", "set tag", "add", "set alpha",
                                                       "set frame", "remove", "destroy", "destroy"}));
}

TEST_F(ViewTest, NewViewsAreLaidOutAtTheNextTurnParentsFirst) {
  auto parent = makeView(1, loggingViewClass());
  auto child = makeView(2, loggingViewClass());
  parent->addSubview(child);
  EXPECT_TRUE(log.empty());
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"layout 1", "layout 2"}));
  loop().runFor(1s);
  EXPECT_EQ(log.size(), 2u);  // nothing marked, nothing laid out
}

TEST_F(ViewTest, OnlySizeChangesMarkAViewForLayout) {
  auto view = makeView(1, loggingViewClass());
  loop().runFor(0ns);
  log.clear();
  view->setFrame(CGRectMake(5, 5, 10, 10));
  loop().runFor(0ns);
  EXPECT_TRUE(log.empty());
  view->setFrame(CGRectMake(5, 5, 20, 10));
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"layout 1"}));
}

// A parent whose pass resizes its child and posts a task: the child, marked
// during the pass, is laid out at the next turn, after that task.
void resizingLayoutSubviews(id self, SEL) {
  auto* view = static_cast<UIView*>(self);
  log.push_back("layout parent");
  auto& child = view->subviews().front();
  child->setFrame(CGRectMake(0, 0, child->frame().size.width + 1, 10));
  dispatch_async(dispatch_get_main_queue(), [] { log.push_back("task"); });
}

TEST_F(ViewTest, AViewMarkedDuringAPassWaitsForTheNextTurn) {
  static const Class resizing = [] {
    Class c = objc_registerClass("ResizingView", UIView::objcClass());
    class_addMethod(c, sel_registerName("layoutSubviews"), &resizingLayoutSubviews, "v@:");
    return c;
  }();
  auto parent = makeView(1, resizing);
  auto child = makeView(2, loggingViewClass());
  parent->addSubview(child);
  loop().runFor(0ns);
  log.clear();
  parent->setNeedsLayout();
  loop().runFor(0ns);
  EXPECT_EQ(log, (std::vector<std::string>{"layout parent", "task", "layout 2"}));
  EXPECT_EQ(loop().now(), 0ns);
}

void (*savedLoggingLayout)(id, SEL) = nullptr;
void hookedLayout(id self, SEL sel) {
  savedLoggingLayout(self, sel);
  log.push_back("hooked");
}

TEST_F(ViewTest, HookedLayoutSubviewsIsWhatTheLayoutMachineryCalls) {
  static const Class hostPill = [] {
    Class c = objc_registerClass("HookedHostPill", loggingViewClass());
    MSHookMessageEx(c, sel_registerName("layoutSubviews"), &hookedLayout, &savedLoggingLayout);
    return c;
  }();
  auto pill = makeView(5, hostPill);
  loop().runFor(0ns);
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // at once, not at the next turn
  EXPECT_EQ(log, (std::vector<std::string>{"layout 5", "hooked", "layout 5", "hooked"}));
}

id (*savedInit)(id, SEL, CGRect) = nullptr;
id refusingInit(id, SEL, CGRect) { return nullptr; }

TEST_F(ViewTest, AnInitialiserThatReturnsNilMakesNoView) {
  static const Class refusing = [] {
    Class c = objc_registerClass("RefusingView", UIView::objcClass());
    MSHookMessageEx(c, sel_registerName("initWithFrame:"), &refusingInit, &savedInit);
    return c;
  }();
  RecordingObserver observer;
  EXPECT_EQ(UIView::make(refusing, CGRectMake(0, 0, 1, 1)), nullptr);
  EXPECT_TRUE(observer.events.empty());  // never initialised: neither made nor destroyed as a view
  EXPECT_THROW(UIView::make(CALayer::objcClass(), CGRect{}), std::invalid_argument);
}

}  // namespace
