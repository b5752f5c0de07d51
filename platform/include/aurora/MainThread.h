// The main thread: the thread that loaded the platform library and made the
// main run loop. Views, layers, timers, animations and the run loop itself are
// used there only; these helpers make a call from any other thread a loud
// failure instead of a quiet race.
#pragma once

namespace aurora {

bool isMainThread();

// Aborts the process with a message naming `operation` when called off the
// main thread.
void requireMainThread(const char* operation);

}  // namespace aurora
