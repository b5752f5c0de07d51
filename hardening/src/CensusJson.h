// A census (aurora/Census.h) as JSON, to carry it from a child process to
// its parent, and as one line of text for people. Pure; any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "aurora/Census.h"

namespace aurora {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Census, views, layers, timers, pendingTasks, animations)

}  // namespace aurora

namespace hardening {

// "views 5, layers 5, timers 1, tasks 0, animations 2".
std::string describe(const aurora::Census& census);

}  // namespace hardening
