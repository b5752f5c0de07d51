#include "aurora/MainThread.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace aurora {
namespace {

// Captured while the platform library loads, which happens on the main thread.
const std::thread::id gMainThread = std::this_thread::get_id();

}  // namespace

bool isMainThread() { return std::this_thread::get_id() == gMainThread; }

void requireMainThread(const char* operation) {
  if (isMainThread()) return;
  std::fprintf(stderr, "fatal: %s called off the main thread\n", operation);
  std::abort();
}

}  // namespace aurora
