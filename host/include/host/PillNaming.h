// Told about each pill just before it is made and once the making is over,
// so that the view the platform reports in between can be known by the pill's
// name (the trace's ids). Implemented by the trace writer, called by the scene.
// Main thread only.
#pragma once

#include <string_view>

#include "objc/runtime.h"

namespace host {

class PillNaming {
 public:
  virtual ~PillNaming() = default;
  // The next view of class `cls` made is the pill `name`.
  virtual void willMakePill(Class cls, std::string_view name) = 0;
  // The making is over, however it ended.
  virtual void didMakePill() = 0;
};

}  // namespace host
