// The benchmarks' simulated device: a temporary device root holding the
// preferences file, the host's two pill classes (without their drawing, so
// that a layout pass measures the extension: host/HostPillClasses.h), and
// the extension loaded into the process.
//
// The extension's objects are linked into the benchmark programs (never the
// .dylib as well, which would register its classes twice), so its load-time
// functions run before main, in their order (settings/LoadOrder.h). On a
// device the host's classes exist before the loader opens the library; here a
// load-time function of this program, ahead of the extension's, takes the
// first step of the host's start-up (host::prepareDevice: the device root and
// the host's classes) and writes the preferences file.
//
//   bench::applyPreferences({{settings::key::style.name, std::string(settings::kWave)}});
//   bench::resetRunLoop();
//
// The device root is removed at exit. Main thread only.
#pragma once

#include <filesystem>
#include <vector>

#include "aurora/PreferencesFile.h"
#include "aurora/Time.h"
#include "settings/Contract.h"

namespace bench {

// The preferences file under the device root (a host path).
const std::filesystem::path& preferencesPath();
// A file of that name for a benchmark's own output, under the device root.
std::filesystem::path scratchFile(const char* name);

// The settings start from their initial values, the file is replaced by
// `entries` (with the master switch on unless they say otherwise), and the
// extension reads it, so nothing carries over from an earlier benchmark.
void applyPreferences(const std::vector<aurora::PreferenceEntry>& entries,
                      aurora::PlistFormat format = aurora::PlistFormat::Xml);

// Starts the main run loop over on a virtual clock at time 0.
void resetRunLoop();

// Moves the virtual clock to `when` and runs everything due then. The clock's
// check of the run loop's descriptors, made on every jump, is left out: it is
// the clock's cost, not the operation's.
void runInstantAt(aurora::Nanoseconds when);

}  // namespace bench
