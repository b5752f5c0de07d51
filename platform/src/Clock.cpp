#include "aurora/Clock.h"

#include <cerrno>
#include <ctime>

namespace aurora {

void VirtualClock::wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) {
  if (!fds.empty()) ::poll(fds.data(), fds.size(), 0);
  if (deadline && *deadline > now_) now_ = *deadline;
}

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

Nanoseconds RealClock::now() const {
  return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now() - start_);
}

void RealClock::wait(std::optional<Nanoseconds> deadline, std::span<pollfd> fds) {
  for (;;) {
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (deadline) {
      const Nanoseconds left = *deadline - now();
      if (left <= Nanoseconds::zero()) return;
      timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
      timeoutPtr = &timeout;
    }
    const int ready = ::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
    if (ready > 0) return;
    if (ready < 0 && errno != EINTR) return;
  }
}

}  // namespace aurora
