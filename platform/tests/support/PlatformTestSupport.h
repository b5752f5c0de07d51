// Shared test fixtures: a fresh main run loop on a virtual clock per test, and
// an observer that records what the platform reports.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Foundation/NSRunLoop.h"
#include "aurora/PlatformObserver.h"

namespace aurora::testing {

using namespace std::chrono_literals;

using Log = std::vector<std::string>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
inline const RGBA kRed{1, 0, 0, 1}, kBlue{0, 0, 1, 1}, kGreen{0, 1, 0, 1};

class VirtualLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { loop().reset(std::make_unique<VirtualClock>()); }
  void TearDown() override { loop().reset(std::make_unique<VirtualClock>()); }
  static NSRunLoop& loop() { return NSRunLoop::mainRunLoop(); }
};

// Records events as short strings, e.g. "set frame", "fire 3", "complete 2 1"; listens while it lives.
class RecordingObserver : public PlatformObserver {
 public:
  std::vector<std::string> events;

  void propertySet(const UIView&, ViewProperty property, const PropertyValue&, AnimationSerial animation) override {
    events.push_back(std::string("set ") + viewPropertyName(property) + (animation ? " anim" : ""));
  }
  void viewCreated(const UIView&) override { events.push_back("new"); }
  void viewDestroyed(const UIView&) override { events.push_back("destroy"); }
  void subviewAdded(const UIView&, const UIView&) override { events.push_back("add"); }
  void viewRemoved(const UIView&) override { events.push_back("remove"); }
  void animationBegan(AnimationSerial serial, double) override {
    events.push_back("animate " + std::to_string(serial));
  }
  void animationCompleted(AnimationSerial serial, bool finished) override {
    events.push_back("complete " + std::to_string(serial) + (finished ? " 1" : " 0"));
  }
  void timerCreated(const NSTimer&) override { events.push_back("timer"); }
  void timerScheduled(const NSTimer&, NSRunLoopMode) override { events.push_back("schedule"); }
  void timerFired(const NSTimer&) override { events.push_back("fire"); }
  void timerInvalidated(const NSTimer&) override { events.push_back("invalidate"); }

 private:
  ObserverRegistration listening_{*this};
};

}  // namespace aurora::testing
