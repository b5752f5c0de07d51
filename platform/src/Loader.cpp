#include "aurora/Loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

#include "Foundation/NSDictionary.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PlatformObserver.h"

namespace aurora {
namespace {

namespace fs = std::filesystem;

// The names of the "*.dylib" files in `directory`, in byte order.
std::vector<std::string> libraryNames(const fs::path& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->path().extension() == ".dylib" && it->is_regular_file(typeError))
      names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

LoadReport loadDynamicLibraries(const HostIdentity& host, std::ostream& diagnostics) {
  LoadReport report;
  const fs::path directory = hostPath(kDynamicLibrariesDirectory);
  for (const std::string& name : libraryNames(directory)) {
    const std::string devicePath = std::string(kDynamicLibrariesDirectory) + "/" + name;
    const fs::path library = directory / name;
    const fs::path plistPath = fs::path(library).replace_extension(".plist");

    std::error_code error;
    if (fs::exists(plistPath, error)) {
      const std::shared_ptr<const NSDictionary> plist = NSDictionary::fromFile(plistPath);
      if (!plist) {
        diagnostics << "loader: not loading " << devicePath << ": its filter plist cannot be read" << std::endl;
        report.filteredOut.push_back(devicePath);
        continue;
      }
      if (!filterAllows(*plist, host)) {
        report.filteredOut.push_back(devicePath);
        continue;
      }
    }

    if (::dlopen(library.c_str(), RTLD_NOW) == nullptr) {
      const char* reason = ::dlerror();
      LoadFailure failure{devicePath, reason != nullptr ? reason : "unknown error"};
      diagnostics << "loader: cannot load " << devicePath << ": " << failure.reason << std::endl;
      report.failed.push_back(std::move(failure));
      continue;
    }
    report.loaded.push_back(devicePath);
    tellObservers(&PlatformObserver::libraryLoaded, devicePath);
  }
  return report;
}

}  // namespace aurora
