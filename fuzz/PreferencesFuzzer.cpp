// Arbitrary bytes as the preferences file, read through the extension's own
// refreshPrefs: it must never crash, hang or leak, and every read leaves all
// four colours set (a colour for every call, the fallback when unreadable).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"
#include "settings/Settings.h"

namespace {

std::filesystem::path gPreferences;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const aurora::TemporaryDirectory root("aurora-fuzz-root-");
  ::setenv(aurora::kDeviceRootVariable, root.path().c_str(), 1);
  gPreferences = aurora::hostPath(settings::kPreferencesPath);
  std::filesystem::create_directories(gPreferences.parent_path());
  settings::assignInitialValues();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A new file each time: truncating one in place makes ext4 flush it to disk on close.
  std::filesystem::remove(gPreferences);
  std::ofstream(gPreferences, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  settings::refreshPrefs();
  FUZZ_CHECK(settings::firstColor && settings::secondColor && settings::breathingColor && settings::staticColor);
  return 0;
}
