// The trace's form, checked the way a consumer relies on it: the header line,
// known events with exactly their fields, never-decreasing time, id shapes,
// property value shapes, device paths, and every id introduced before use.
// It judges the form only, not whether the system behaved correctly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim::test {

// One line per problem found; empty when the trace is well formed.
std::vector<std::string> traceFormProblems(std::string_view trace);

}  // namespace sim::test
