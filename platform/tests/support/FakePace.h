// Real time for a driven clock in tests, deterministically: waiting to a
// deadline goes there at once; waiting for descriptors alone lets a second
// pass, and stops the main run loop after `idleWaitsBeforeStop` such waits,
// so a test can run a loop whose clock stands still and see it wait.
#pragma once

#include <algorithm>

#include "Foundation/NSRunLoop.h"
#include "aurora/Clock.h"

namespace aurora::testing {

class FakePace final : public Clock {
 public:
  int idleWaits = 0;
  int idleWaitsBeforeStop = 3;

  Nanoseconds now() const override { return now_; }
  bool isVirtual() const override { return false; }
  void wait(std::optional<Nanoseconds> deadline, std::span<pollfd>) override {
    if (deadline) {
      now_ = std::max(now_, *deadline);
      return;
    }
    now_ += std::chrono::seconds(1);
    if (++idleWaits % idleWaitsBeforeStop == 0) NSRunLoop::mainRunLoop().stop();
  }
  void pass(Nanoseconds span) { now_ += span; }

 private:
  Nanoseconds now_ = std::chrono::seconds(7);  // not zero: a driven clock starts from wherever its pace is
};

}  // namespace aurora::testing
