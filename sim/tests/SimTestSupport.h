// Shared set-up for the simulator's in-process tests: a fresh run loop on a
// virtual clock, the host's pill classes (registered once per process), a
// platform observer installed for one test, and a trace read back as events.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Foundation/NSRunLoop.h"
#include "HostPillClasses.h"
#include "aurora/PlatformObserver.h"

namespace sim::test {

inline void restartRunLoop() { NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>()); }

inline void registerHostPillClassesOnce() {
  static const bool registered = (registerHostPillClasses({}), true);
  (void)registered;
}

class ObserverScope {
 public:
  explicit ObserverScope(aurora::PlatformObserver& observer) { aurora::setPlatformObserver(&observer); }
  ~ObserverScope() { aurora::setPlatformObserver(nullptr); }
  ObserverScope(const ObserverScope&) = delete;
  ObserverScope& operator=(const ObserverScope&) = delete;
};

// The events of a trace, the header line left out.
inline std::vector<nlohmann::json> traceEvents(const std::string& trace) {
  std::vector<nlohmann::json> events;
  std::istringstream lines(trace);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) events.push_back(nlohmann::json::parse(line));
  return events;
}

// The events of one kind.
inline std::vector<nlohmann::json> eventsOf(const std::vector<nlohmann::json>& events, const std::string& ev) {
  std::vector<nlohmann::json> found;
  for (const auto& e : events) {
    if (e["ev"] == ev) found.push_back(e);
  }
  return found;
}

}  // namespace sim::test
