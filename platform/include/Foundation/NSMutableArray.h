// NSMutableArray: an ordered, owning list, changed in place.
//
// Entries are kept in a ring, as the platform's own mutable arrays do, so
// removing or inserting at either end costs O(1): turning a list by one entry
// (take the last, remove it, insert it first) moves no other entry.
//
//   auto list = NSMutableArray<CGColorRef>::array();
//   list->addObject(color);
//   std::vector<CGColorRef> firstTen = list->subarrayWithRange(0, 10);
//
// Indexes out of range and nil entries are errors (std::out_of_range,
// std::invalid_argument), as the platform raises them; firstObject and
// lastObject of an empty list are nil and removeLastObject does nothing.
// Not thread-safe: one thread at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

template <class T>
class NSMutableArray {
 public:
  static std::shared_ptr<NSMutableArray> array() { return std::make_shared<NSMutableArray>(); }

  std::size_t count() const { return count_; }
  const T& objectAtIndex(std::size_t index) const {
    if (index >= count_) throw std::out_of_range("NSMutableArray: index beyond bounds");
    return at(index);
  }
  T firstObject() const { return count_ == 0 ? T{} : at(0); }
  T lastObject() const { return count_ == 0 ? T{} : at(count_ - 1); }

  void addObject(T object) { insertObject(std::move(object), count_); }

  void insertObject(T object, std::size_t index) {
    if (object == nullptr) throw std::invalid_argument("NSMutableArray: inserting nil");
    if (index > count_) throw std::out_of_range("NSMutableArray: insertion index beyond bounds");
    if (count_ == ring_.size()) grow();
    if (index == 0) {
      head_ = head_ == 0 ? ring_.size() - 1 : head_ - 1;
    } else {
      for (std::size_t i = count_; i > index; --i) at(i) = std::move(at(i - 1));
    }
    ++count_;
    at(index) = std::move(object);
  }

  void removeLastObject() {
    if (count_ == 0) return;
    at(count_ - 1) = T{};
    --count_;
  }

  void removeObjectAtIndex(std::size_t index) {
    if (index >= count_) throw std::out_of_range("NSMutableArray: removal index beyond bounds");
    if (index == 0) {
      at(0) = T{};
      head_ = slot(1);
    } else {
      for (std::size_t i = index; i + 1 < count_; ++i) at(i) = std::move(at(i + 1));
      at(count_ - 1) = T{};
    }
    --count_;
  }

  // A new list of `length` entries from `location` on, in order.
  std::vector<T> subarrayWithRange(std::size_t location, std::size_t length) const {
    if (location > count_ || length > count_ - location) throw std::out_of_range("NSMutableArray: range beyond bounds");
    std::vector<T> result;
    if (length == 0) return result;
    result.reserve(length);
    // The range is at most two runs of the ring: copied run by run.
    const auto start = ring_.begin() + static_cast<std::ptrdiff_t>(slot(location));
    const auto firstRun = std::min(static_cast<std::ptrdiff_t>(length), ring_.end() - start);
    result.insert(result.end(), start, start + firstRun);
    result.insert(result.end(), ring_.begin(), ring_.begin() + (static_cast<std::ptrdiff_t>(length) - firstRun));
    return result;
  }

 private:
  // The ring position of entry `index` (at most the ring's size): no division.
  std::size_t slot(std::size_t index) const {
    const std::size_t position = head_ + index;
    return position < ring_.size() ? position : position - ring_.size();
  }
  T& at(std::size_t index) { return ring_[slot(index)]; }
  const T& at(std::size_t index) const { return ring_[slot(index)]; }

  void grow() {
    std::vector<T> bigger(ring_.empty() ? 8 : ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = std::move(at(i));
    ring_ = std::move(bigger);
    head_ = 0;
  }

  std::vector<T> ring_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};
