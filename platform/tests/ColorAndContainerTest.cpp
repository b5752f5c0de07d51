// Colours and colour strings, the list, and OnceFunction.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "Foundation/NSMutableArray.h"
#include "UIKit/UIColor.h"
#include "aurora/OnceFunction.h"
#include "libcolorpicker.h"

namespace {

RGBA hsb(double h, double s = 1, double b = 1, double a = 1) { return UIColor::colorWithHue(h, s, b, a)->components(); }

TEST(ColorTest, HueSectorsFollowTheHsvFormulaAndHuesWrap) {
  const std::vector<std::pair<RGBA, RGBA>> cases = {
      {hsb(0), {1, 0, 0, 1}},          {hsb(1.0 / 6), {1, 1, 0, 1}},
      {hsb(2.0 / 6), {0, 1, 0, 1}},    {hsb(0.5), {0, 1, 1, 1}},
      {hsb(4.0 / 6), {0, 0, 1, 1}},    {hsb(5.0 / 6), {1, 0, 1, 1}},
      {hsb(1.0 / 12), {1, 0.5, 0, 1}}, {hsb(0.25, 0.5, 0.8, 0.3), {0.6, 0.8, 0.4, 0.3}},
      {hsb(1.0), {1, 0, 0, 1}},        {hsb(1.25), hsb(0.25)},
      {hsb(-0.75), hsb(0.25)},         {hsb(std::numeric_limits<double>::quiet_NaN()), {1, 0, 0, 1}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [got, want] = cases[i];
    for (double RGBA::*c : {&RGBA::red, &RGBA::green, &RGBA::blue, &RGBA::alpha})
      EXPECT_DOUBLE_EQ(got.*c, want.*c) << i;
    EXPECT_TRUE(i < 8 || got == want) << i;  // wrapping is exact
  }
  // Just below 1.0 the sextant index can round up to 6; it must stay (almost) red, not turn magenta.
  for (double h = std::nextafter(1.0, 0.0), n = 0; n < 8; h = std::nextafter(h, 0.0), ++n)
    EXPECT_TRUE(hsb(h).red == 1.0 && hsb(h).green == 0.0 && std::abs(hsb(h).blue) <= 1e-12) << n;
}

// Only a replaced alpha is clamped (NaN to 0); mix blends every component, alpha too.
TEST(ColorTest, ComponentsOutsideZeroToOneAreKept) {
  EXPECT_EQ(UIColor::colorWithRed(1.5, -0.25, 0, 2)->components(), (RGBA{1.5, -0.25, 0, 2}));
  auto teal = UIColor::colorWithRed(0.1, 0.7, 0.6, 0.9);
  const auto alpha = [&](double a) { return teal->colorWithAlphaComponent(a)->components().alpha; };
  EXPECT_EQ(teal->colorWithAlphaComponent(0.0)->components(), (RGBA{0.1, 0.7, 0.6, 0.0}));
  EXPECT_EQ((std::vector{alpha(3.0), alpha(-1.0), alpha(std::nan("")), teal->components().alpha}),
            (std::vector{1.0, 0.0, 0.0, 0.9}));
  EXPECT_EQ(mix(RGBA{0, 0, 1, 1}, RGBA{1, 0, 0, 0}, 0.25), (RGBA{0.25, 0, 0.75, 0.75}));
}

RGBA parse(std::string_view text, std::string_view fallback = "#000000") {
  return LCPParseColorString(text, fallback)->components();
}

// Hex in either case; three digits repeat; an alpha after ':' is a plain decimal, clamped.
TEST(ColorStringTest, ParsesEveryDocumentedForm) {
  EXPECT_EQ(parse("#F62459"), (RGBA{246 / 255.0, 36 / 255.0, 89 / 255.0, 1}));
  EXPECT_EQ(parse("#bf55ec"), (RGBA{191 / 255.0, 85 / 255.0, 236 / 255.0, 1}));
  EXPECT_EQ(parse("#2aBB9b"), (RGBA{42 / 255.0, 187 / 255.0, 155 / 255.0, 1}));
  EXPECT_EQ(parse("#000000", "#FFFFFF"), (RGBA{0, 0, 0, 1}));
  EXPECT_EQ(parse("#F0a"), (RGBA{1, 0, 170 / 255.0, 1}));
  EXPECT_EQ(parse("#123"), parse("#112233"));
  // Each alpha, and the texts that give it.
  const std::vector<std::pair<double, std::vector<std::string>>> cases = {
      {0.75, {"#FFFFFF:0.75"}},
      {1.0, {"#FFFFFF:1", "#FFFFFF:5.", "#FFFFFF:2", "#FFFFFF:+1", "#FFFFFF:1" + std::string(400, '0')}},
      {0.0, {"#FFFFFF:0", "#FFFFFF:-0.5", "#FFFFFF:0." + std::string(400, '0') + "1"}},
      {0.5, {"#FFFFFF:.5", "#ABC:0.5"}},
      {0.25, {"#FFFFFF:+0.25"}},
      {0.001, {"#FFFFFF:0.001"}}};
  for (const auto& [alpha, texts] : cases) {
    for (const std::string& text : texts) {
      const RGBA color = parse(text, "#000000:0.125");
      EXPECT_EQ(color.red, text.starts_with("#ABC") ? 170 / 255.0 : 1.0) << text;
      EXPECT_EQ(color.alpha, alpha) << text;
    }
  }
}

TEST(ColorStringTest, MalformedStringsGiveTheFallback) {
  const RGBA fallback{42 / 255.0, 187 / 255.0, 155 / 255.0, 1};
  const std::vector<std::string> malformed[] = {
      {"", "#", "F62459", "#F6245", "#F624599", "#GG0000", "##F62459", "#-12345", "#1234", "rgb(1,2,3)"},  // the digits
      {"#F62459 ", " #F62459", "#\xC3\xBF\xC3\xBF\xC3", std::string("#F6\000459", 7)},  // a blank, bad UTF-8, a NUL
      {"#F62459:", "#F62459:abc", "#F62459:1e-1", "#F62459:nan", "#F62459:inf", "#F62459:0.5.5", "#F62459:0.5x"},
      {"#F62459::0.5", "#F62459: 0.5", "#F62459:.", "#F62459:-"}};  // the alpha
  for (const auto& group : malformed)
    for (const std::string& text : group) EXPECT_EQ(parse(text, "#2ABB9B"), fallback) << '"' << text << '"';
  EXPECT_EQ(parse("bad", "#FFFFFF:0.5"), (RGBA{1, 1, 1, 0.5}));
  EXPECT_EQ(parse("bad", "also bad"), (RGBA{0, 0, 0, 1}));
  EXPECT_EQ(parse("", ""), (RGBA{0, 0, 0, 1}));
  const std::string_view buffer = "#FFFFFF:0.5junk";  // only the view given is read
  EXPECT_EQ(parse(buffer.substr(0, 7)), (RGBA{1, 1, 1, 1}));
  EXPECT_EQ(parse(buffer.substr(0, 11)), (RGBA{1, 1, 1, 0.5}));
  EXPECT_EQ(parse(buffer.substr(0, 4)), (RGBA{1, 1, 1, 1}));
}

using Item = std::shared_ptr<int>;
std::vector<int> contents(const NSMutableArray<Item>& list) {
  std::vector<int> out;
  for (std::size_t i = 0; i < list.count(); ++i) out.push_back(*list.objectAtIndex(i));
  return out;
}
std::shared_ptr<NSMutableArray<Item>> listOf(int n) {
  auto list = NSMutableArray<Item>::array();
  for (int i = 0; i < n; ++i) list->addObject(std::make_shared<int>(i));
  return list;
}

TEST(ListTest, RefusesIndicesOutsideItAndNil) {
  auto list = listOf(0);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ((std::vector{list->firstObject(), list->lastObject()}), (std::vector<Item>{nullptr, nullptr}));
  list->removeLastObject();  // nothing to remove: no effect
  list = listOf(20);
  auto middle = list->subarrayWithRange(5, 3);
  ASSERT_EQ(middle.size(), 3u);
  EXPECT_EQ((std::vector{*list->firstObject(), *list->lastObject(), *middle[0], *middle[2]}),
            (std::vector{0, 19, 5, 7}));
  EXPECT_TRUE(list->subarrayWithRange(20, 0).empty());
  list = listOf(3);
  EXPECT_THROW(list->objectAtIndex(3), std::out_of_range);
  EXPECT_THROW(list->removeObjectAtIndex(3), std::out_of_range);
  EXPECT_THROW(list->insertObject(std::make_shared<int>(1), 4), std::out_of_range);
  EXPECT_THROW(list->subarrayWithRange(2, 2), std::out_of_range);
  EXPECT_THROW(list->insertObject(nullptr, 0), std::invalid_argument);
  EXPECT_EQ(contents(*list), (std::vector{0, 1, 2}));
  std::weak_ptr<int> last = list->lastObject();
  list->removeLastObject();
  EXPECT_TRUE(last.expired());  // released when removed
}

// The palette turns by taking an end off and putting it on the other: across the ring's seam.
TEST(ListTest, InsertingAndRemovingAcrossTheSeam) {
  auto list = listOf(7);                              // a ring of 8 with one free slot
  list->insertObject(std::make_shared<int>(-1), 0);   // head wraps to the ring's end
  list->insertObject(std::make_shared<int>(100), 4);  // full: grows with a wrapped head
  list->removeObjectAtIndex(2);
  EXPECT_EQ(contents(*list), (std::vector{-1, 0, 2, 100, 3, 4, 5, 6}));
}

// Captures kept inside the function (Small) and on the heap (Large).
struct Small {
  std::shared_ptr<int> held;
};
struct Large {
  std::shared_ptr<int> held;
  std::array<char, 256> padding{};
};
template <class Capture>
class OnceFunctionTest : public ::testing::Test {};
using Captures = ::testing::Types<Small, Large>;
TYPED_TEST_SUITE(OnceFunctionTest, Captures);

// Also when it throws or never runs, or is moved or replaced; the call may refill its holder.
TYPED_TEST(OnceFunctionTest, ReleasesItsCaptureRightAfterItsOneRun) {
  auto counter = std::make_shared<int>(0), other = std::make_shared<int>(0), thrower = std::make_shared<int>(0),
       never = thrower;
  std::weak_ptr<int> watch = counter, watchOther = other, watchThrower = thrower;
  aurora::OnceFunction<int(int)> add = [capture = TypeParam{std::move(counter)}](int n) { return *capture.held += n; };
  aurora::OnceFunction<int(int)> replaced = [capture = TypeParam{std::move(other)}](int n) { return n; };
  aurora::OnceFunction<int(int)> moved = std::move(add);
  replaced = std::move(moved);  // releases what it held
  EXPECT_EQ((std::vector{bool(add), watchOther.expired(), watch.expired()}), (std::vector{false, true, false}));
  EXPECT_EQ(std::move(replaced)(5), 5);
  aurora::OnceClosure fails = [capture = TypeParam{std::move(thrower)}] { throw std::runtime_error("no"); };
  EXPECT_THROW(std::move(fails)(), std::runtime_error);
  {
    aurora::OnceClosure unused = [capture = TypeParam{std::move(never)}] { ++*capture.held; };
  }
  EXPECT_EQ((std::vector{bool(replaced), bool(fails), watch.expired(), watchThrower.expired()}),
            (std::vector{false, false, true, true}));
  auto refills = std::make_shared<int>(0);  // the call may refill the function that held it
  aurora::OnceClosure slot;
  slot = [&slot, capture = TypeParam{refills}] {
    slot = [capture] { *capture.held += 10; };
    *capture.held += 1;
  };
  std::move(slot)();
  ASSERT_TRUE(slot);
  std::move(slot)();
  EXPECT_EQ(*refills, 11);
}

}  // namespace
