// The constraint subset: visual formats, bindings, and constraints applied by
// the base layout pass.
#include "PlatformTestSupport.h"
#include "UIKit/NSLayoutConstraint.h"
#include "UIKit/UIView.h"

namespace {

using namespace aurora::testing;

class LayoutConstraintTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
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

TEST_F(LayoutConstraintTest, PinnedEdgesFollowTheSuperviewFromTheNextPassOn) {
  pill->addConstraints(constraints("H:|-0-[colorView]-0-|"));
  pill->addConstraints(constraints("V:|-0-[colorView]-0-|"));
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 10, 10));  // not before the pass
  loop().runFor(0ns);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 134, 5));
  pill->setFrame(CGRectMake(40, 800, 200, 30));
  loop().runFor(0ns);
  EXPECT_EQ(inner->frame(), CGRectMake(0, 0, 200, 30));
}

TEST_F(LayoutConstraintTest, GapsAndTheShortFormsPlaceTheEdges) {
  pill->addConstraints(constraints("|-4-[colorView]-10-|"));
  pill->addConstraints(constraints("V:|[colorView]-1.5-|"));
  pill->layoutIfNeeded();
  EXPECT_EQ(inner->frame(), CGRectMake(4, 0, 120, 3.5));
}

TEST_F(LayoutConstraintTest, EachFormatGivesTwoConstraintsAndIsReportedWithItsCount) {
  struct Observer : RecordingObserver {
    std::vector<std::pair<std::string, std::size_t>> added;
    void constraintsAdded(const UIView&, std::string_view format, std::size_t count) override {
      added.emplace_back(format, count);
    }
  } observer;
  auto list = constraints("V:|-0-[colorView]-0-|");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->attribute(), NSLayoutAttribute::Top);
  EXPECT_EQ(list[1]->attribute(), NSLayoutAttribute::Bottom);
  pill->addConstraints(list);
  EXPECT_EQ(observer.added, (std::vector<std::pair<std::string, std::size_t>>{{"V:|-0-[colorView]-0-|", 2}}));
  pill->layoutIfNeeded();
  EXPECT_EQ(observer.events.back(), "set frame");  // placed through the ordinary setter
}

TEST_F(LayoutConstraintTest, AnythingOutsideTheSubsetIsRefusedClearly) {
  for (std::string_view format : {"", "H:|-0-[colorView]", "H:[colorView]-0-|", "H:|-[colorView]-|", "H:|-0-[other]-0-|",
                                  "H:|-0-[colorView]-0-|junk", "X:|-0-[colorView]-0-|", "H:|-0-[colorView(>=5)]-0-|",
                                  "H:|--1-[colorView]-0-|", "H:|-0-[colorView]-0-[colorView]-0-|"}) {
    EXPECT_THROW(constraints(format), std::invalid_argument) << format;
  }
  EXPECT_THROW(NSLayoutConstraint::constraintsWithVisualFormat("H:|-0-[colorView]-0-|", 1, nullptr, views),
               std::invalid_argument);
  EXPECT_THROW(_NSDictionaryOfVariableBindings("a, b", {inner.get()}), std::invalid_argument);
}

TEST_F(LayoutConstraintTest, ConstraintsDoNotKeepTheirViewAliveNorPlaceAViewThatLeft) {
  pill->addConstraints(constraints("H:|-0-[colorView]-0-|"));
  std::weak_ptr<UIView> watch = inner;
  views.clear();
  inner->removeFromSuperview();
  inner.reset();
  EXPECT_TRUE(watch.expired());
  pill->setNeedsLayout();
  pill->layoutIfNeeded();  // nothing left to place: no crash
}

}  // namespace
