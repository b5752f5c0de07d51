#include "DeviceRootCopy.h"

#include <stdexcept>

#include "aurora/DeviceRoot.h"

#ifndef AURORA_DEMO_ROOT
#error "AURORA_DEMO_ROOT must name the demo device root of this build"
#endif

namespace hardening {
namespace {

// Where the copies go: see DeviceRootCopy.h.
std::filesystem::path copiesFolder() {
  std::error_code error;
  const std::filesystem::path shm = "/dev/shm";
  return std::filesystem::is_directory(shm, error) ? shm : std::filesystem::path();
}

}  // namespace

std::filesystem::path demoRoot() { return AURORA_DEMO_ROOT; }

DeviceRootCopy::DeviceRootCopy(const std::filesystem::path& source) : directory_("aurora-hardening-", copiesFolder()) {
  try {
    aurora::copyDeviceRoot(source, path());
  } catch (const std::filesystem::filesystem_error& failure) {
    throw std::runtime_error("cannot copy the device root " + source.string() + ": " + failure.what());
  }
}

}  // namespace hardening
