// A device root of its own for one test: a fresh directory under /tmp, set as
// AURORARIBBON_ROOT while the object lives, then removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "aurora/DeviceRoot.h"

namespace aurora::testing {

class TempDeviceRoot {
 public:
  // `padding` lengthens the directory name (for paths too long for a socket).
  explicit TempDeviceRoot(std::size_t padding = 0) {
    std::string pattern = "/tmp/aurora-root-" + std::string(padding, 'p') + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary device root");
    path_ = pattern;
    if (const char* old = std::getenv(kDeviceRootVariable)) previous_ = old;
    ::setenv(kDeviceRootVariable, path_.c_str(), 1);
  }
  ~TempDeviceRoot() {
    if (previous_) ::setenv(kDeviceRootVariable, previous_->c_str(), 1);
    else ::unsetenv(kDeviceRootVariable);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `bytes` to the device path (directories made as needed); returns the host path.
  std::filesystem::path write(std::string_view devicePath, std::string_view bytes) const {
    const std::filesystem::path host = hostPath(devicePath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return host;
  }

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
};

}  // namespace aurora::testing
