// Foundation: the object runtime (classes, sends, adding and hooking methods,
// the send cache that must pass every change on to the next send), colours and
// colour strings, the list, and OnceFunction.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "Foundation/NSMutableArray.h"
#include "UIKit/UIColor.h"
#include "aurora/OnceFunction.h"
#include "libcolorpicker.h"
#include "objc/runtime.h"
#include "substrate.h"

namespace {

using aurora::objc::SignatureMismatch;
using aurora::objc::UnrecognizedSelector;
using Calls = std::vector<std::string>;

Calls calls;
void baseGreet(id, SEL) { calls.push_back("base"); }
void middleGreet(id, SEL) { calls.push_back("middle"); }
NSInteger baseNumber(id, SEL, NSInteger n) { return n * 2; }
void (*savedGreet)(id, SEL) = nullptr;
void (*savedInnerGreet)(id, SEL) = nullptr;
void (*savedOwnGreet)(id, SEL) = nullptr;
void hookedGreet(id self, SEL sel) { calls.push_back("hook"); savedGreet(self, sel); }
void innerHookedGreet(id self, SEL sel) { calls.push_back("inner hook"); savedInnerGreet(self, sel); }
void ownHookedGreet(id self, SEL sel) { calls.push_back("own hook"); savedOwnGreet(self, sel); }

// Base <- Middle <- Leaf, fresh per test.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string suffix = std::to_string(++counter);
    base = objc_registerClass(("Base" + suffix).c_str(), NSObject::objcClass());
    middle = objc_registerClass(("Middle" + suffix).c_str(), base);
    leaf = objc_registerClass(("Leaf" + suffix).c_str(), middle);
    class_addMethod(base, greet, &baseGreet, "v@:");
    class_addMethod(base, number, &baseNumber, "q@:q");
    object = class_createInstance(leaf);
    calls.clear();
    savedGreet = savedInnerGreet = savedOwnGreet = nullptr;
  }
  void greetAs(Class cls) { objc_msgSend<void>(class_createInstance(cls).get(), greet); }
  NSInteger numberOf(NSInteger n) { return objc_msgSend<NSInteger>(object.get(), number, n); }

  static inline int counter = 0;
  Class base, middle, leaf;
  SEL greet = sel_registerName("greet"), number = sel_registerName("number:"), fly = sel_registerName("fly");
  std::shared_ptr<NSObject> object;
};

TEST_F(RuntimeTest, ClassesAreFoundByNameAndTypeChecksUseThem) {
  auto mid = class_createInstance(middle);
  EXPECT_EQ(std::tuple(objc_getClass(class_getName(middle)), class_getSuperclass(middle), mid->isa(),
                       objc_getClass("NoSuchClass"), objc_getClass(nullptr)),
            std::tuple(middle, base, middle, nullptr, nullptr));
  EXPECT_THROW(objc_registerClass(class_getName(base), nullptr), std::invalid_argument);
  EXPECT_EQ((std::vector{mid->isKindOfClass(base), mid->isKindOfClass(leaf), mid->respondsToSelector(greet),
                         mid->respondsToSelector(fly)}),
            (std::vector{true, false, true, false}));
  EXPECT_EQ(std::tuple(objc_cast<NSObject>(mid.get()), objc_cast<NSObject>(nullptr)), std::tuple(mid.get(), nullptr));
}

TEST_F(RuntimeTest, SendsFindInheritedMethodsAndAddingOverridesButNeverReplaces) {
  EXPECT_EQ(std::tuple(numberOf(21), objc_msgSend<NSInteger>(nullptr, number, NSInteger{21})), std::tuple(42, 0));
  EXPECT_FALSE(class_addMethod(base, number, +[](id, SEL, NSInteger) -> NSInteger { return 0; }, "q@:q"));
  EXPECT_TRUE(class_addMethod(leaf, number, +[](id, SEL, NSInteger n) -> NSInteger { return n * 3; }, "q@:q"));
  EXPECT_EQ(numberOf(7), 21);  // added after a send that found it inherited
  const SEL count = sel_registerName("count");
  EXPECT_TRUE(class_addClassMethod(base, count, +[](Class, SEL) -> NSInteger { return 1; }));
  EXPECT_EQ(objc_msgSendClass<NSInteger>(leaf, count), 1);
  EXPECT_TRUE(class_addClassMethod(leaf, count, +[](Class, SEL) -> NSInteger { return 2; }));
  EXPECT_EQ(objc_msgSendClass<NSInteger>(leaf, count), 2);
}

// A hook of an inherited method calls what the superclass answers at call time, at each level.
TEST_F(RuntimeTest, HooksAreWhatTheNextSendCalls) {
  greetAs(leaf);
  objc_msgSendSuper<void>(leaf, object.get(), greet);  // [super greet] inside leaf: looked up from middle
  MSHookMessageEx(leaf, greet, &hookedGreet, &savedGreet);
  greetAs(leaf);
  MSHookMessageEx(middle, greet, &innerHookedGreet, &savedInnerGreet);
  greetAs(leaf);
  objc_msgSendSuper<void>(leaf, object.get(), greet);
  greetAs(base);
  MSHookMessageEx(base, greet, &ownHookedGreet, &savedOwnGreet);
  ASSERT_EQ(savedOwnGreet, &baseGreet);
  EXPECT_EQ(object->performSelector(greet), nullptr);  // through the runtime too
  EXPECT_EQ(calls, (Calls{"base", "base", "hook", "base", "hook", "inner hook", "base", "inner hook", "base", "base", "hook",
                          "inner hook", "own hook", "base"}));
}

TEST_F(RuntimeTest, SignaturesAreCheckedAndUnansweredMessagesNameClassAndSelectorUntilAMethodIsAdded) {
  EXPECT_THROW(class_addMethod(middle, greet, &middleGreet, "@@:"), SignatureMismatch);
  EXPECT_THROW(objc_msgSend<id>(object.get(), greet), SignatureMismatch);
  EXPECT_THROW(objc_msgSend<NSInteger>(object.get(), number, 21), SignatureMismatch);  // int, not NSInteger
  EXPECT_THROW(object->performSelector(number), SignatureMismatch);
  NSInteger (*saved)(id, SEL, NSInteger) = nullptr;
  EXPECT_THROW(MSHookMessageEx(leaf, greet, &baseNumber, &saved), SignatureMismatch);
  EXPECT_EQ(saved, nullptr);
  try {
    objc_msgSend<void>(object.get(), fly);
    FAIL() << "expected an exception";
  } catch (const UnrecognizedSelector& error) {
    EXPECT_EQ(std::string(error.what()),
              std::string("-[") + class_getName(leaf) + " fly]: unrecognized selector sent to instance");
  }
  EXPECT_THROW(object->performSelector(fly), UnrecognizedSelector);
  EXPECT_TRUE(class_addMethod(base, fly, &middleGreet, "v@:"));
  objc_msgSend<void>(object.get(), fly);
  EXPECT_EQ(calls, (Calls{"middle"}));
}


RGBA hsb(double h, double s = 1, double b = 1, double a = 1) { return UIColor::colorWithHue(h, s, b, a)->components(); }

TEST(ColorTest, HueSectorsFollowTheHsvFormulaAndHuesWrap) {
  const std::vector<std::pair<RGBA, RGBA>> cases = {
      {hsb(0), {1, 0, 0, 1}},     {hsb(1.0 / 6), {1, 1, 0, 1}},  {hsb(2.0 / 6), {0, 1, 0, 1}},
      {hsb(0.5), {0, 1, 1, 1}},   {hsb(4.0 / 6), {0, 0, 1, 1}},  {hsb(5.0 / 6), {1, 0, 1, 1}},
      {hsb(1.0 / 12), {1, 0.5, 0, 1}}, {hsb(0.25, 0.5, 0.8, 0.3), {0.6, 0.8, 0.4, 0.3}},
      {hsb(1.0), {1, 0, 0, 1}},   {hsb(1.25), hsb(0.25)},        {hsb(-0.75), hsb(0.25)},
      {hsb(std::numeric_limits<double>::quiet_NaN()), {1, 0, 0, 1}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [got, want] = cases[i];
    for (double RGBA::*c : {&RGBA::red, &RGBA::green, &RGBA::blue, &RGBA::alpha}) EXPECT_DOUBLE_EQ(got.*c, want.*c) << i;
    EXPECT_TRUE(i < 8 || got == want) << i;  // wrapping is exact
  }
  // Just below 1.0 the sextant index can round up to 6; it must stay (almost) red, not turn magenta.
  for (double h = std::nextafter(1.0, 0.0), n = 0; n < 8; h = std::nextafter(h, 0.0), ++n) {
    EXPECT_EQ(std::tuple(hsb(h).red, hsb(h).green), std::tuple(1.0, 0.0));
    EXPECT_NEAR(hsb(h).blue, 0.0, 1e-12);
  }
}

TEST(ColorTest, ExtendedRangeAlphaReplacementAndMix) {
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

TEST(ColorStringTest, HexDigitsInEitherCaseThreeDigitsRepeatAndTheAlphaSuffixIsAPlainDecimalClamped) {
  EXPECT_EQ(parse("#F62459"), (RGBA{246 / 255.0, 36 / 255.0, 89 / 255.0, 1}));
  EXPECT_EQ(parse("#bf55ec"), (RGBA{191 / 255.0, 85 / 255.0, 236 / 255.0, 1}));
  EXPECT_EQ(parse("#2aBB9b"), (RGBA{42 / 255.0, 187 / 255.0, 155 / 255.0, 1}));
  EXPECT_EQ(parse("#000000", "#FFFFFF"), (RGBA{0, 0, 0, 1}));
  EXPECT_EQ(parse("#F0a"), (RGBA{1, 0, 170 / 255.0, 1}));
  EXPECT_EQ(parse("#123"), parse("#112233"));
  const std::vector<std::pair<std::string, double>> cases = {
      {"#FFFFFF:0.75", 0.75}, {"#FFFFFF:1", 1.0},  {"#FFFFFF:0", 0.0},    {"#FFFFFF:.5", 0.5},
      {"#FFFFFF:5.", 1.0},    {"#FFFFFF:2", 1.0},  {"#FFFFFF:-0.5", 0.0}, {"#FFFFFF:+0.25", 0.25},
      {"#ABC:0.5", 0.5},      {"#FFFFFF:0.001", 0.001}, {"#FFFFFF:+1", 1.0},
      {"#FFFFFF:0." + std::string(400, '0') + "1", 0.0}, {"#FFFFFF:1" + std::string(400, '0'), 1.0},
  };
  for (const auto& [text, alpha] : cases) {
    const RGBA color = parse(text, "#000000:0.125");
    EXPECT_EQ(std::tuple(color.red, color.alpha), std::tuple(text.starts_with("#ABC") ? 170 / 255.0 : 1.0, alpha)) << text;
  }
}

TEST(ColorStringTest, MalformedStringsGiveTheFallbackAndAMalformedFallbackOpaqueBlack) {
  const RGBA fallback{42 / 255.0, 187 / 255.0, 155 / 255.0, 1};
  const std::vector<std::string> malformed = {
      "", "#", "F62459", "#F6245", "#F624599", "#GG0000", "#F62459 ", " #F62459", "#F62459:", "#F62459:abc",
      "#F62459:1e-1", "#F62459:nan", "#F62459:inf", "#F62459:0.5.5", "#F62459:0.5x", "#F62459::0.5", "#F62459: 0.5",
      "#F62459:.", "#F62459:-", "##F62459", "#-12345", "#\xC3\xBF\xC3\xBF\xC3", "rgb(1,2,3)", "#1234",
      std::string("#F6\0" "459", 7)};  // the last with a NUL inside
  for (const std::string& text : malformed) EXPECT_EQ(parse(text, "#2ABB9B"), fallback) << '"' << text << '"';
  EXPECT_EQ(parse("bad", "#FFFFFF:0.5"), (RGBA{1, 1, 1, 0.5}));
  EXPECT_EQ(parse("bad", "also bad"), (RGBA{0, 0, 0, 1}));
  EXPECT_EQ(parse("", ""), (RGBA{0, 0, 0, 1}));
  const std::string_view buffer = "#FFFFFF:0.5junk";  // only the view given is read
  EXPECT_EQ(std::tuple(parse(buffer.substr(0, 7)), parse(buffer.substr(0, 11)), parse(buffer.substr(0, 4))),
            std::tuple(RGBA{1, 1, 1, 1}, RGBA{1, 1, 1, 0.5}, RGBA{1, 1, 1, 1}));
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

TEST(ListTest, EndsRangesAndErrors) {
  auto list = listOf(0);
  EXPECT_EQ(std::tuple(list->count(), list->firstObject(), list->lastObject()), std::tuple(0u, nullptr, nullptr));
  list->removeLastObject();  // nothing to remove: no effect
  list = listOf(20);
  auto middle = list->subarrayWithRange(5, 3);
  ASSERT_EQ(middle.size(), 3u);
  EXPECT_EQ((std::vector{*list->firstObject(), *list->lastObject(), *middle[0], *middle[2]}), (std::vector{0, 19, 5, 7}));
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

TYPED_TEST(OnceFunctionTest, RunsOnceReleasingItsCaptureRightAfterAlsoWhenItThrowsMovesAndMayRefillItsHolder) {
  auto counter = std::make_shared<int>(0), other = std::make_shared<int>(0), thrower = std::make_shared<int>(0), never = thrower;
  std::weak_ptr<int> watch = counter, watchOther = other, watchThrower = thrower;
  aurora::OnceFunction<int(int)> add = [capture = TypeParam{std::move(counter)}](int n) { return *capture.held += n; };
  aurora::OnceFunction<int(int)> replaced = [capture = TypeParam{std::move(other)}](int n) { return n; };
  aurora::OnceFunction<int(int)> moved = std::move(add);
  replaced = std::move(moved);  // releases what it held
  EXPECT_EQ((std::vector{bool(add), watchOther.expired(), watch.expired()}), (std::vector{false, true, false}));
  EXPECT_EQ(std::move(replaced)(5), 5);
  aurora::OnceClosure fails = [capture = TypeParam{std::move(thrower)}] { throw std::runtime_error("no"); };
  EXPECT_THROW(std::move(fails)(), std::runtime_error);
  { aurora::OnceClosure unused = [capture = TypeParam{std::move(never)}] { ++*capture.held; }; }
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
