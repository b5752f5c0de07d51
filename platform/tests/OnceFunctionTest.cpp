// OnceFunction: runs once, then is empty; what it captured goes as soon as it
// has run, also when it throws, whether it is kept inside or on the heap.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <utility>

#include "aurora/OnceFunction.h"

namespace {

using aurora::OnceClosure;
using aurora::OnceFunction;

// A small capture (kept inside) and a large one (kept on the heap).
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

TYPED_TEST(OnceFunctionTest, RunsOnceAndReleasesItsCaptureRightAfter) {
  auto counter = std::make_shared<int>(0);
  std::weak_ptr<int> watch = counter;
  OnceFunction<int(int)> add = [capture = TypeParam{std::move(counter)}](int n) { return *capture.held += n; };
  ASSERT_TRUE(add);
  EXPECT_EQ(std::move(add)(5), 5);
  EXPECT_FALSE(add);
  EXPECT_TRUE(watch.expired());
}

TYPED_TEST(OnceFunctionTest, MovingHandsTheCallableOverAndAssigningReleasesTheOldOne) {
  auto first = std::make_shared<int>(1);
  auto second = std::make_shared<int>(2);
  std::weak_ptr<int> watchFirst = first;
  std::weak_ptr<int> watchSecond = second;
  OnceFunction<int()> a = [capture = TypeParam{std::move(first)}] { return *capture.held; };
  OnceFunction<int()> b = [capture = TypeParam{std::move(second)}] { return *capture.held; };
  OnceFunction<int()> moved = std::move(a);
  EXPECT_FALSE(a);
  b = std::move(moved);
  EXPECT_TRUE(watchSecond.expired());
  EXPECT_FALSE(watchFirst.expired());
  EXPECT_EQ(std::move(b)(), 1);
  EXPECT_TRUE(watchFirst.expired());
}

TYPED_TEST(OnceFunctionTest, NeverRunIsReleasedWhenDestroyed) {
  auto counter = std::make_shared<int>(0);
  std::weak_ptr<int> watch = counter;
  {
    OnceClosure never = [capture = TypeParam{std::move(counter)}] { ++*capture.held; };
  }
  EXPECT_TRUE(watch.expired());
}

TYPED_TEST(OnceFunctionTest, AThrowingCallableIsReleasedAndLeavesItEmpty) {
  auto counter = std::make_shared<int>(0);
  std::weak_ptr<int> watch = counter;
  OnceClosure fails = [capture = TypeParam{std::move(counter)}] { throw std::runtime_error("no"); };
  EXPECT_THROW(std::move(fails)(), std::runtime_error);
  EXPECT_FALSE(fails);
  EXPECT_TRUE(watch.expired());
}

TYPED_TEST(OnceFunctionTest, TheCallMayRefillTheFunctionThatHeldIt) {
  auto counter = std::make_shared<int>(0);
  OnceClosure slot;
  slot = [&slot, capture = TypeParam{counter}] {
    slot = [capture] { *capture.held += 10; };
    *capture.held += 1;
  };
  std::move(slot)();
  ASSERT_TRUE(slot);
  std::move(slot)();
  EXPECT_EQ(*counter, 11);
}

}  // namespace
