// Clocks for the main run loop.
//
// The run loop asks its clock what time it is and hands it the waiting between
// instants. VirtualClock never sleeps: waiting jumps straight to the deadline,
// so a minute of animation runs in milliseconds and repeats to the bit; tests
// and headless output use it. RealClock sleeps in ppoll until the deadline or
// until one of the given descriptors (the run loop's wake-up eventfd, the
// notification socket) becomes readable.
//
// A clock belongs to the run loop that was given it and is used on the main
// thread only.
#pragma once

#include <poll.h>

#include <optional>
#include <span>

#include "aurora/Time.h"

namespace aurora {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Nanoseconds now() const = 0;
  virtual bool isVirtual() const = 0;
  // Waits until `deadline` (forever when nullopt) or until one of `fds` is
  // readable, and sets each pollfd's revents. A virtual clock checks the
  // descriptors without blocking and then moves to the deadline.
  virtual void wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) = 0;
};

class VirtualClock final : public Clock {
 public:
  Nanoseconds now() const override { return now_; }
  bool isVirtual() const override { return true; }
  void wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) override;

 private:
  Nanoseconds now_{0};
};

class RealClock final : public Clock {
 public:
  RealClock();
  Nanoseconds now() const override;
  bool isVirtual() const override { return false; }
  void wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace aurora
