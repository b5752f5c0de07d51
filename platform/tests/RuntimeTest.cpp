// The object runtime: classes, sending, adding and replacing methods.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "objc/runtime.h"
#include "substrate.h"

namespace {

std::vector<std::string> calls;

Class makeClass(const std::string& name, Class superclass) {
  return objc_registerClass(name.c_str(), superclass);
}

void baseGreet(id, SEL) { calls.push_back("base"); }
void middleGreet(id, SEL) { calls.push_back("middle"); }
NSInteger baseNumber(id, SEL, NSInteger n) { return n * 2; }

void (*savedGreet)(id, SEL) = nullptr;
void hookedGreet(id self, SEL sel) {
  calls.push_back("hook");
  savedGreet(self, sel);
}

void (*savedInnerGreet)(id, SEL) = nullptr;
void innerHookedGreet(id self, SEL sel) {
  calls.push_back("inner hook");
  savedInnerGreet(self, sel);
}

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    const std::string suffix = std::to_string(++counter);
    base = makeClass("Base" + suffix, NSObject::objcClass());
    middle = makeClass("Middle" + suffix, base);
    leaf = makeClass("Leaf" + suffix, middle);
    class_addMethod(base, greet, &baseGreet, "v@:");
    class_addMethod(base, number, &baseNumber, "q@:q");
  }
  static inline int counter = 0;
  Class base, middle, leaf;
  SEL greet = sel_registerName("greet");
  SEL number = sel_registerName("number:");
};

TEST_F(RuntimeTest, ClassesAreFoundByNameAndMissingOnesAreNil) {
  EXPECT_EQ(objc_getClass(class_getName(middle)), middle);
  EXPECT_EQ(class_getSuperclass(middle), base);
  EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
  EXPECT_EQ(objc_getClass(nullptr), nullptr);
  EXPECT_THROW(objc_registerClass(class_getName(base), nullptr), std::invalid_argument);
}

TEST_F(RuntimeTest, GivenNoClassAddingAndHookingDoNothing) {
  EXPECT_FALSE(class_addMethod(Class{nullptr}, greet, &middleGreet, "v@:"));
  savedGreet = nullptr;
  MSHookMessageEx(Class{nullptr}, greet, &hookedGreet, &savedGreet);
  EXPECT_EQ(savedGreet, nullptr);
}

TEST_F(RuntimeTest, MessagesFindInheritedMethodsAndNilReceiversReturnZero) {
  auto object = class_createInstance(leaf);
  objc_msgSend<void>(object.get(), greet);
  EXPECT_EQ(objc_msgSend<NSInteger>(object.get(), number, NSInteger{21}), 42);
  EXPECT_EQ(objc_msgSend<NSInteger>(nullptr, number, NSInteger{21}), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"base"}));
}

TEST_F(RuntimeTest, AddMethodRefusesOwnSelectorAndOverridesInheritedOne) {
  EXPECT_FALSE(class_addMethod(base, greet, &middleGreet, "v@:"));
  EXPECT_TRUE(class_addMethod(middle, greet, &middleGreet, "v@:"));
  objc_msgSend<void>(class_createInstance(leaf).get(), greet);
  objc_msgSend<void>(class_createInstance(base).get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"middle", "base"}));
}

TEST_F(RuntimeTest, HookingOwnMethodSavesThePreviousImplementation) {
  MSHookMessageEx(base, greet, &hookedGreet, &savedGreet);
  ASSERT_EQ(savedGreet, &baseGreet);
  objc_msgSend<void>(class_createInstance(leaf).get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "base"}));
}

TEST_F(RuntimeTest, HookingInheritedMethodCallsWhatTheSuperclassAnswersAtCallTime) {
  MSHookMessageEx(leaf, greet, &hookedGreet, &savedGreet);
  auto object = class_createInstance(leaf);
  objc_msgSend<void>(object.get(), greet);
  // The superclass gains its own method later: the saved implementation follows it.
  class_addMethod(middle, greet, &middleGreet, "v@:");
  objc_msgSend<void>(object.get(), greet);
  // The base class is untouched by the hook.
  objc_msgSend<void>(class_createInstance(base).get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "base", "hook", "middle", "base"}));
}

TEST_F(RuntimeTest, HooksOfAnInheritedMethodAtTwoLevelsEachCallTheirOwnSuperclass) {
  MSHookMessageEx(middle, greet, &innerHookedGreet, &savedInnerGreet);
  MSHookMessageEx(leaf, greet, &hookedGreet, &savedGreet);
  objc_msgSend<void>(class_createInstance(leaf).get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "inner hook", "base"}));
}

TEST_F(RuntimeTest, SignaturesAreCheckedWhenAddingHookingAndSending) {
  auto object = class_createInstance(leaf);
  EXPECT_THROW(class_addMethod(middle, greet, &middleGreet, "@@:"), aurora::objc::SignatureMismatch);
  EXPECT_THROW(objc_msgSend<id>(object.get(), greet), aurora::objc::SignatureMismatch);
  EXPECT_THROW(objc_msgSend<NSInteger>(object.get(), number, 21), aurora::objc::SignatureMismatch);  // int, not NSInteger
  NSInteger (*saved)(id, SEL, NSInteger) = nullptr;
  EXPECT_THROW(MSHookMessageEx(leaf, greet, &baseNumber, &saved), aurora::objc::SignatureMismatch);
  EXPECT_EQ(saved, nullptr);
  EXPECT_TRUE(calls.empty());
}

TEST_F(RuntimeTest, UnansweredMessageNamesClassAndSelector) {
  auto object = class_createInstance(leaf);
  try {
    objc_msgSend<void>(object.get(), sel_registerName("fly"));
    FAIL() << "expected an exception";
  } catch (const aurora::objc::UnrecognizedSelector& error) {
    EXPECT_EQ(std::string(error.what()),
              std::string("-[") + class_getName(leaf) + " fly]: unrecognized selector sent to instance");
  }
}

TEST_F(RuntimeTest, PerformSelectorRunsArgumentlessMethodsThroughTheRuntime) {
  auto object = class_createInstance(leaf);
  MSHookMessageEx(leaf, greet, &hookedGreet, &savedGreet);
  EXPECT_EQ(object->performSelector(greet), nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"hook", "base"}));
  EXPECT_THROW(object->performSelector(number), aurora::objc::SignatureMismatch);
  EXPECT_THROW(object->performSelector(sel_registerName("fly")), aurora::objc::UnrecognizedSelector);
}

TEST_F(RuntimeTest, TypeChecksUseRuntimeClasses) {
  auto object = class_createInstance(middle);
  EXPECT_EQ(object->isa(), middle);
  EXPECT_TRUE(object->isKindOfClass(base));
  EXPECT_FALSE(object->isKindOfClass(leaf));
  EXPECT_TRUE(object->respondsToSelector(greet));
  EXPECT_FALSE(object->respondsToSelector(sel_registerName("fly")));
  EXPECT_EQ(objc_cast<NSObject>(object.get()), object.get());
  EXPECT_EQ(objc_cast<NSObject>(nullptr), nullptr);
}

// Sends remember what they found, per class: each change below must still
// reach the very next send.

NSInteger leafNumber(id, SEL, NSInteger n) { return n * 3; }
NSInteger baseCount(Class, SEL) { return 1; }
NSInteger leafCount(Class, SEL) { return 2; }
template <NSInteger N>
NSInteger constant(id, SEL) {
  return N;
}

TEST_F(RuntimeTest, AMethodReplacedAfterASendIsWhatTheNextSendCalls) {
  auto object = class_createInstance(leaf);
  objc_msgSend<void>(object.get(), greet);
  MSHookMessageEx(base, greet, &hookedGreet, &savedGreet);
  objc_msgSend<void>(object.get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"base", "hook", "base"}));
}

TEST_F(RuntimeTest, AMethodAddedAfterASendOverridesWhatTheSendFoundInherited) {
  auto object = class_createInstance(leaf);
  EXPECT_EQ(objc_msgSend<NSInteger>(object.get(), number, NSInteger{7}), 14);
  EXPECT_TRUE(class_addMethod(leaf, number, &leafNumber, "q@:q"));
  EXPECT_EQ(objc_msgSend<NSInteger>(object.get(), number, NSInteger{7}), 21);
}

TEST_F(RuntimeTest, HookingAnInheritedMethodAfterSendsIsSeenByTheNextSends) {
  auto object = class_createInstance(leaf);
  objc_msgSend<void>(object.get(), greet);
  objc_msgSendSuper<void>(leaf, object.get(), greet);  // [super greet] inside leaf: looked up from middle
  MSHookMessageEx(middle, greet, &innerHookedGreet, &savedInnerGreet);
  objc_msgSend<void>(object.get(), greet);
  objc_msgSendSuper<void>(leaf, object.get(), greet);
  EXPECT_EQ(calls, (std::vector<std::string>{"base", "base", "inner hook", "base", "inner hook", "base"}));
}

TEST_F(RuntimeTest, AMethodAddedAfterAnUnansweredSendIsFound) {
  auto object = class_createInstance(leaf);
  const SEL fly = sel_registerName("fly");
  EXPECT_THROW(objc_msgSend<void>(object.get(), fly), aurora::objc::UnrecognizedSelector);
  EXPECT_TRUE(class_addMethod(base, fly, &middleGreet, "v@:"));
  objc_msgSend<void>(object.get(), fly);
  EXPECT_EQ(calls, (std::vector<std::string>{"middle"}));
}

TEST_F(RuntimeTest, AClassMethodAddedAfterAClassSendOverridesTheInheritedOne) {
  const SEL count = sel_registerName("count");
  EXPECT_TRUE(class_addClassMethod(base, count, &baseCount));
  EXPECT_EQ(objc_msgSendClass<NSInteger>(leaf, count), 1);
  EXPECT_TRUE(class_addClassMethod(leaf, count, &leafCount));
  EXPECT_EQ(objc_msgSendClass<NSInteger>(leaf, count), 2);
}

TEST_F(RuntimeTest, EachOfManySelectorsSentToOneClassFindsItsOwnMethod) {
  auto object = class_createInstance(leaf);
  std::vector<SEL> selectors;
  [&]<NSInteger... N>(std::integer_sequence<NSInteger, N...>) {
    (selectors.push_back(sel_registerName("constant" + std::to_string(N))), ...);
    (class_addMethod(base, selectors[N], &constant<N>, "q@:"), ...);
  }(std::make_integer_sequence<NSInteger, 40>{});
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < selectors.size(); ++i) {
      EXPECT_EQ(objc_msgSend<NSInteger>(object.get(), selectors[i]), static_cast<NSInteger>(i));
    }
  }
}

TEST(RuntimeEncodingTest, EncodingsAreDerivedFromTheCppSignature) {
  using aurora::objc::methodEncoding;
  EXPECT_STREQ((methodEncoding<void, id>()), "v@:");
  EXPECT_STREQ((methodEncoding<id, id, CGRect>()), "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  EXPECT_STREQ((methodEncoding<void, id, NSUInteger>()), "v@:Q");
  EXPECT_STREQ((methodEncoding<void, id, id, bool>()), "v@:@B");
  EXPECT_EQ(aurora::objc::internEncoding("v@:"), (methodEncoding<void, id>()));
}

}  // namespace
