#include "DeviceRootCopy.h"

#include "aurora/DeviceRoot.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#ifndef AURORA_DEMO_ROOT
#error "AURORA_DEMO_ROOT must name the demo device root of this build"
#endif

namespace hardening {

std::filesystem::path demoRoot() { return AURORA_DEMO_ROOT; }

DeviceRootCopy::DeviceRootCopy(const std::filesystem::path& source) {
  std::error_code error;
  const std::filesystem::path shm = "/dev/shm";
  const std::filesystem::path parent = std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
  std::string pattern = (parent / "aurora-hardening-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary device root in " + parent.string());
  path_ = pattern;
  try {
    aurora::copyDeviceRoot(source, path_);
  } catch (const std::filesystem::filesystem_error& failure) {
    std::filesystem::remove_all(path_, error);
    throw std::runtime_error("cannot copy the device root " + source.string() + ": " + failure.what());
  }
}

DeviceRootCopy::~DeviceRootCopy() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace hardening
