// Shared pieces of the host's, the simulator's and the settings pane's tests: a
// fresh run loop on a virtual clock, the host's pill classes (registered once
// per process), the HostTest fixture and traces read back as lines; with the
// pictures' helpers (PictureTestSupport.h).
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Foundation/NSRunLoop.h"
#include "PictureTestSupport.h"
#include "host/HostPillClasses.h"
#include "host/Scene.h"
#include "host/TraceWriter.h"

namespace host {

namespace test {

// The pictures' helpers, under the names the host's tests know them by.
using namespace picture::test;

// The events of a trace, the header line left out, their fields in the trace's order.
inline std::vector<nlohmann::ordered_json> traceEvents(const std::string& trace) {
  std::vector<nlohmann::ordered_json> events;
  std::istringstream lines(trace);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) events.push_back(nlohmann::ordered_json::parse(line));
  return events;
}

// Each event as one line of its values, strings bare: "0.5 set v1 tag 115".
inline std::vector<std::string> traceLines(const std::string& trace) {
  std::vector<std::string> lines;
  for (const auto& event : traceEvents(trace)) {
    std::string line;
    for (const auto& value : event) {
      if (!line.empty()) line.push_back(' ');
      line.append(value.is_string() ? value.get<std::string>() : value.dump());
    }
    lines.push_back(line);
  }
  return lines;
}

// The lines in which `pattern` is found.
inline std::vector<std::string> grep(const std::vector<std::string>& lines, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
               [&](const std::string& line) { return std::regex_search(line, re); });
  return found;
}

}  // namespace test

// The host's window on a fresh virtual clock.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
    static const bool registered = (registerHostPillClasses({}), true);  // once a process
    (void)registered;
  }

  Scene scene_;
};

}  // namespace host
