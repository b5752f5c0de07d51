// Choosing the simulated device's root for this process. The platform resolves
// every device path under the directory named by AURORARIBBON_ROOT
// (aurora/DeviceRoot.h); the simulator sets it once, at start-up, before
// anything reads a device path or loads a library.
//
// Main thread only (it changes the process environment).
#pragma once

#include <filesystem>
#include <stdexcept>

namespace host {

class RootError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Makes `directory` absolute and sets it as the device root. Throws RootError
// when it is not a directory. Returns the absolute root.
std::filesystem::path useDeviceRoot(const std::filesystem::path& directory);

}  // namespace host
