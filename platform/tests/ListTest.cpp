// NSMutableArray: the list operations, in order, across the ring's seams.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Foundation/NSMutableArray.h"

namespace {

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

TEST(ListTest, EndsAndRangeOfANewList) {
  auto list = NSMutableArray<Item>::array();
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(list->firstObject(), nullptr);
  EXPECT_EQ(list->lastObject(), nullptr);
  list->removeLastObject();  // nothing to remove: no effect
  list = listOf(20);
  EXPECT_EQ(*list->firstObject(), 0);
  EXPECT_EQ(*list->lastObject(), 19);
  auto middle = list->subarrayWithRange(5, 3);
  ASSERT_EQ(middle.size(), 3u);
  EXPECT_EQ(*middle[0], 5);
  EXPECT_EQ(*middle[2], 7);
  EXPECT_TRUE(list->subarrayWithRange(20, 0).empty());
}

TEST(ListTest, RotatingBothWaysKeepsOrderAndReturnsHome) {
  auto list = listOf(361);
  for (int k = 0; k < 361; ++k) {  // take the last, remove it, insert it first
    Item last = list->lastObject();
    list->removeLastObject();
    list->insertObject(last, 0);
    if (k == 0) {
      EXPECT_EQ(contents(*list).front(), 360);
    }
  }
  EXPECT_EQ(contents(*list), contents(*listOf(361)));
  for (int k = 0; k < 3; ++k) {  // take the first, remove it, append it
    Item first = list->firstObject();
    list->removeObjectAtIndex(0);
    list->addObject(first);
  }
  auto turned = contents(*list);
  EXPECT_EQ(turned.front(), 3);
  EXPECT_EQ(turned.back(), 2);
  EXPECT_EQ(turned.size(), 361u);
}

TEST(ListTest, MiddleInsertionAndRemovalAndGrowthAcrossTheSeam) {
  auto list = listOf(7);                              // a ring of 8 with one free slot
  list->insertObject(std::make_shared<int>(-1), 0);  // head wraps to the ring's end
  list->insertObject(std::make_shared<int>(100), 4);  // full: grows with a wrapped head
  list->removeObjectAtIndex(2);
  EXPECT_EQ(contents(*list), (std::vector<int>{-1, 0, 2, 100, 3, 4, 5, 6}));
}

TEST(ListTest, EntriesAreReleasedWhenRemoved) {
  auto list = NSMutableArray<Item>::array();
  auto item = std::make_shared<int>(7);
  std::weak_ptr<int> watch = item;
  list->addObject(std::move(item));
  list->removeLastObject();
  EXPECT_TRUE(watch.expired());
}

TEST(ListTest, OutOfRangeAndNilAreErrors) {
  auto list = listOf(3);
  EXPECT_THROW(list->objectAtIndex(3), std::out_of_range);
  EXPECT_THROW(list->removeObjectAtIndex(3), std::out_of_range);
  EXPECT_THROW(list->insertObject(std::make_shared<int>(1), 4), std::out_of_range);
  EXPECT_THROW(list->subarrayWithRange(2, 2), std::out_of_range);
  EXPECT_THROW(list->insertObject(nullptr, 0), std::invalid_argument);
  EXPECT_EQ(contents(*list), (std::vector<int>{0, 1, 2}));
}

}  // namespace
