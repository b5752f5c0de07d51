// The simulated device's filesystem root.
//
// Every absolute device path ("/var/mobile/Library/Preferences/...",
// "/Library/MobileSubstrate/...") names a file under one host directory: the
// environment variable AURORARIBBON_ROOT, or "/" when it is unset or empty. The
// simulator and the settings pane set it from --root; tests point it at a
// temporary directory. Traces and reports always show device paths; only the
// code that opens files turns them into host paths.
//
//   std::filesystem::path prefs = aurora::hostPath("/var/mobile/Library/Preferences/x.plist");
//
// The root is read from the environment on every call, so a change takes effect
// at once. Any thread, as long as nobody changes the environment meanwhile.
#pragma once

#include <filesystem>
#include <string_view>

namespace aurora {

inline constexpr const char* kDeviceRootVariable = "AURORARIBBON_ROOT";

std::filesystem::path deviceRoot();

// `devicePath` resolved under deviceRoot(). The path is normalised against the
// device's "/" first, so ".." can never climb out of the root; a relative path
// counts from the device's "/".
std::filesystem::path hostPath(std::string_view devicePath);

// Copies the device root `from` to `to` (made if missing): folders, regular
// files and symbolic links. Sockets and FIFOs are left out: they belong to the
// processes that made them (a notification socket left by a killed process is
// not part of any device). Throws std::filesystem::filesystem_error.
void copyDeviceRoot(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace aurora
