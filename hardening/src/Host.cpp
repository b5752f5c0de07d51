#include "Host.h"

#include <sstream>
#include <stdexcept>

#include "aurora/DeviceRoot.h"

namespace hardening {

Host::Host(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock)
    : start_(root, std::move(clock)), prefs_(aurora::hostPath(settings::kPreferencesPath)) {
  std::ostringstream diagnostics;
  const aurora::LoadReport report = start_.loadExtensions(diagnostics);
  if (report.loaded.size() != 1) throw std::runtime_error("the extension did not load: " + diagnostics.str());
}

}  // namespace hardening
