// The trace's ids for platform objects, handed out in order of creation: a
// prefix and a count ("v1", "t3", "a7"), or a name given for that one object
// (a pill's script name). Objects are known by their process-wide serial
// (NSObject::serial, NSTimer::serial, the animation serial), which is never
// reused, so a forgotten serial can never come back under another object.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace host {

class TraceIds {
 public:
  explicit TraceIds(char prefix) : prefix_(prefix) {}

  // The next generated id ("v1", "v2", ...) for `serial`.
  const std::string& add(std::uint64_t serial);
  // `name` for `serial`; generated ids are not used up.
  const std::string& addNamed(std::uint64_t serial, std::string name);
  // The id of `serial`, or nullptr when it has none (never made while tracing, or forgotten).
  const std::string* find(std::uint64_t serial) const;
  void forget(std::uint64_t serial) { ids_.erase(serial); }

 private:
  char prefix_;
  std::uint64_t count_ = 0;
  std::unordered_map<std::uint64_t, std::string> ids_;
};

}  // namespace host
