// A throw-away copy of a device root (by default the build tree's demo root:
// the real extension with its filter plist, the master switch on) for one
// hardening run, removed with everything in it when the object goes.
//
// Copies go under /dev/shm when it is there, so that the many atomic
// preferences writes of a long run cost no disk flushes; else under the
// system's temporary directory. Any thread; owned by whoever made it.
#pragma once

#include <filesystem>

#include "aurora/TemporaryDirectory.h"

namespace hardening {

// The demo root this build prepares (sim/: extension, filter plist, preferences).
std::filesystem::path demoRoot();

class DeviceRootCopy {
 public:
  explicit DeviceRootCopy(const std::filesystem::path& source = demoRoot());

  const std::filesystem::path& path() const { return directory_.path(); }

 private:
  aurora::TemporaryDirectory directory_;
};

}  // namespace hardening
