// The object runtime: classes, sends, adding and hooking methods, and a send cache that misses no change.
#include <gtest/gtest.h>

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
void hookedGreet(id self, SEL sel) {
  calls.push_back("hook");
  savedGreet(self, sel);
}
void innerHookedGreet(id self, SEL sel) {
  calls.push_back("inner hook");
  savedInnerGreet(self, sel);
}
void ownHookedGreet(id self, SEL sel) {
  calls.push_back("own hook");
  savedOwnGreet(self, sel);
}

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
  EXPECT_EQ(objc_getClass(class_getName(middle)), middle);
  EXPECT_EQ(class_getSuperclass(middle), base);
  EXPECT_EQ(mid->isa(), middle);
  EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
  EXPECT_EQ(objc_getClass(nullptr), nullptr);
  EXPECT_THROW(objc_registerClass(class_getName(base), nullptr), std::invalid_argument);
  EXPECT_EQ((std::vector{mid->isKindOfClass(base), mid->isKindOfClass(leaf), mid->respondsToSelector(greet),
                         mid->respondsToSelector(fly)}),
            (std::vector{true, false, true, false}));
  EXPECT_EQ(objc_cast<NSObject>(mid.get()), mid.get());
  EXPECT_EQ(objc_cast<NSObject>(nullptr), nullptr);
}

// Also after a send found the method inherited, and for class methods; a send to nil answers 0.
TEST_F(RuntimeTest, AddingAMethodOverridesButNeverReplaces) {
  EXPECT_EQ(numberOf(21), 42);
  EXPECT_EQ(objc_msgSend<NSInteger>(nullptr, number, NSInteger{21}), 0);
  EXPECT_FALSE(class_addMethod(
      base, number, +[](id, SEL, NSInteger) -> NSInteger { return 0; }, "q@:q"));
  EXPECT_TRUE(class_addMethod(
      leaf, number, +[](id, SEL, NSInteger n) -> NSInteger { return n * 3; }, "q@:q"));
  EXPECT_EQ(numberOf(7), 21);  // added after a send that found it inherited
  const SEL count = sel_registerName("count");
  EXPECT_TRUE(class_addClassMethod(
      base, count, +[](Class, SEL) -> NSInteger { return 1; }));
  EXPECT_EQ(objc_msgSendClass<NSInteger>(leaf, count), 1);
  EXPECT_TRUE(class_addClassMethod(
      leaf, count, +[](Class, SEL) -> NSInteger { return 2; }));
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
  EXPECT_EQ(calls, (Calls{"base", "base", "hook", "base", "hook", "inner hook", "base", "inner hook", "base", "base",
                          "hook", "inner hook", "own hook", "base"}));
}

// When a method is added, sent, performed or hooked; a refused hook saves nothing.
TEST_F(RuntimeTest, SignaturesAreCheckedEverywhere) {
  EXPECT_THROW(class_addMethod(middle, greet, &middleGreet, "@@:"), SignatureMismatch);
  EXPECT_THROW(objc_msgSend<id>(object.get(), greet), SignatureMismatch);
  EXPECT_THROW(objc_msgSend<NSInteger>(object.get(), number, 21), SignatureMismatch);  // int, not NSInteger
  EXPECT_THROW(object->performSelector(number), SignatureMismatch);
  NSInteger (*saved)(id, SEL, NSInteger) = nullptr;
  EXPECT_THROW(MSHookMessageEx(leaf, greet, &baseNumber, &saved), SignatureMismatch);
  EXPECT_EQ(saved, nullptr);
}

TEST_F(RuntimeTest, AnUnansweredMessageNamesItsClassAndSelector) {
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

}  // namespace
