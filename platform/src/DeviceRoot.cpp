#include "aurora/DeviceRoot.h"

#include <cstdlib>

namespace aurora {

std::filesystem::path deviceRoot() {
  const char* root = std::getenv(kDeviceRootVariable);
  return root != nullptr && *root != '\0' ? std::filesystem::path(root) : std::filesystem::path("/");
}

std::filesystem::path hostPath(std::string_view devicePath) {
  // Normalising "/" + path drops every ".." that would climb above "/".
  const std::filesystem::path device = (std::filesystem::path("/") / devicePath).lexically_normal();
  return deviceRoot() / device.relative_path();
}

}  // namespace aurora
