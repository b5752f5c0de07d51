#include "aurora/DeviceRoot.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace aurora {

namespace {

const char* rootText() {
  const char* root = std::getenv(kDeviceRootVariable);
  return root != nullptr && *root != '\0' ? root : "/";
}

// Absolute, with no empty, "." or ".." component: normalising leaves it as it is.
bool isNormalAbsolute(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::filesystem::path deviceRoot() { return std::filesystem::path(rootText()); }

std::filesystem::path hostPath(std::string_view devicePath) {
  if (isNormalAbsolute(devicePath)) {
    // The usual device path, joined as `root / relative` would join it, in one string.
    std::string joined = rootText();
    if (joined.back() != '/') joined += '/';
    joined.append(devicePath.substr(1));
    return std::filesystem::path(std::move(joined));
  }
  // Normalising "/" + path drops every ".." that would climb above "/".
  const std::filesystem::path device = (std::filesystem::path("/") / devicePath).lexically_normal();
  return deviceRoot() / device.relative_path();
}

void copyDeviceRoot(const std::filesystem::path& from, const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  fs::create_directories(to);
  for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path target = to / it->path().lexically_relative(from);  // never through a link
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      fs::copy_symlink(it->path(), target);
    } else if (fs::is_directory(status)) {
      fs::create_directory(target);
    } else if (fs::is_regular_file(status)) {
      fs::copy_file(it->path(), target);
    }
  }
}

}  // namespace aurora
