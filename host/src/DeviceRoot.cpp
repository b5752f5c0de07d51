#include "host/DeviceRoot.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <cstdlib>

#include "aurora/DeviceRoot.h"

namespace host {

std::filesystem::path useDeviceRoot(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::path root = std::filesystem::absolute(directory, error).lexically_normal();
  if (error || !std::filesystem::is_directory(root, error)) {
    throw RootError(fmt::format("the device root {} is not a directory", directory));
  }
  if (!root.has_filename()) root = root.parent_path();  // "/root/" and "/root" alike
  ::setenv(aurora::kDeviceRootVariable, root.c_str(), 1);
  return root;
}

}  // namespace host
