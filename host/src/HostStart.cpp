#include "host/HostStart.h"

#include "Foundation/NSRunLoop.h"
#include "host/DeviceRoot.h"

namespace host {
namespace {

// Steps 1 and 2, before the window is made.
aurora::HostIdentity started(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock,
                             HostOptions options) {
  prepareDevice(root, options.withoutClasses);
  NSRunLoop::mainRunLoop().reset(std::move(clock));
  return std::move(options.identity);
}

}  // namespace

void prepareDevice(const std::filesystem::path& root, const std::vector<std::string>& withoutClasses,
                   PillDrawing drawing) {
  useDeviceRoot(root);
  registerHostPillClasses(withoutClasses, drawing);
}

HostStart::HostStart(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock, HostOptions options)
    : identity_(started(root, std::move(clock), std::move(options))) {}

aurora::LoadReport HostStart::loadExtensions(std::ostream& diagnostics) const {
  return aurora::loadDynamicLibraries(identity_, diagnostics);
}

}  // namespace host
