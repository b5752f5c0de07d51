// The device loader: brings extension libraries into the host process at
// start-up, as the device's substrate loader does.
//
// Every "*.dylib" in /Library/MobileSubstrate/DynamicLibraries (under the
// device root) is considered in name order (byte order of the file names) and
// opened with dlopen(RTLD_NOW), which runs its load-time functions in their
// declared order. Beside NAME.dylib, NAME.plist may hold a "Filter"
// dictionary that says which processes the library is for:
//   Bundles                an array of bundle identifiers: the host's is one of them
//   Executables            an array of executable names: the host's is one of them
//   Classes                an array of class names: one of them exists (objc_getClass)
//   CoreFoundationVersion  [min] or [min, max): the host's version lies in it
//   Mode                   "Any": one listed filter matching suffices; otherwise
//                          every listed filter must match
// No plist, no Filter, or a Filter that lists none of these loads the library.
// A listed filter of the wrong shape matches nothing. A plist that exists but
// is not a readable dictionary keeps the library out (its author meant to
// restrict it) and says so. The filter plist is read untraced.
//
// A library that dlopen refuses is reported, with dlerror's reason, and
// skipped; the others still load. Each library loaded reports
// libraryLoaded(devicePath) to the PlatformObserver after its load-time
// functions have run. Loaded libraries are never closed.
//
//   aurora::LoadReport report = aurora::loadDynamicLibraries({"com.apple.springboard", "SpringBoard"});
//
// Main thread, at start-up (load-time functions expect it).
#pragma once

#include <iostream>
#include <string>
#include <vector>

class NSDictionary;

namespace aurora {

// The CoreFoundation version the emulated platform reports.
inline constexpr double kCoreFoundationVersion = 1946.10;

inline constexpr const char* kDynamicLibrariesDirectory = "/Library/MobileSubstrate/DynamicLibraries";

struct HostIdentity {
  std::string bundleIdentifier;
  std::string executableName;
  double coreFoundationVersion = kCoreFoundationVersion;
};

struct LoadFailure {
  std::string devicePath;
  std::string reason;
};

// Device paths ("/Library/MobileSubstrate/DynamicLibraries/X.dylib"), in load order.
struct LoadReport {
  std::vector<std::string> loaded;
  std::vector<std::string> filteredOut;
  std::vector<LoadFailure> failed;
};

// Loads every library meant for `host`; failures and unreadable filter plists
// are described on `diagnostics`, one line each.
LoadReport loadDynamicLibraries(const HostIdentity& host, std::ostream& diagnostics = std::cerr);

// Whether a library whose NAME.plist holds `plist` is meant for `host`.
bool filterAllows(const NSDictionary& plist, const HostIdentity& host);

}  // namespace aurora
