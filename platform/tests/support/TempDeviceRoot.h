// A device root of its own for one test: a fresh temporary directory, set as
// AURORARIBBON_ROOT while the object lives, then removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"

namespace aurora::testing {

class TempDeviceRoot {
 public:
  // `padding` lengthens the directory name (for paths too long for a socket).
  explicit TempDeviceRoot(std::size_t padding = 0) : directory_("aurora-root-" + std::string(padding, 'p')) {
    if (const char* old = std::getenv(kDeviceRootVariable)) previous_ = old;
    ::setenv(kDeviceRootVariable, path().c_str(), 1);
  }
  ~TempDeviceRoot() {
    if (previous_)
      ::setenv(kDeviceRootVariable, previous_->c_str(), 1);
    else
      ::unsetenv(kDeviceRootVariable);
  }
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  const std::filesystem::path& path() const { return directory_.path(); }

  // Writes `bytes` to the device path (directories made as needed); returns the host path.
  std::filesystem::path write(std::string_view devicePath, std::string_view bytes) const {
    return directory_.write(hostPath(devicePath).lexically_relative(path()).string(), bytes);
  }
  // The bytes at the device path; nothing when there is no file.
  std::string read(std::string_view devicePath) const {
    std::ifstream in(hostPath(devicePath), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  TemporaryDirectory directory_;
  std::optional<std::string> previous_;
};

}  // namespace aurora::testing
