// How the home-screen host starts: the one start-up that auroraribbon-sim,
// the studio, the hardening programs and (its first step) the benchmarks
// share. In order:
//   1. take the device root (RootError when it is not a directory) and
//      register the host's pill classes, which the home screen has before
//      anything loads (prepareDevice; a program that links the extension in
//      calls it from a load-time function ahead of the extension's own);
//   2. start the main run loop over on the given clock, so that everything
//      after, the extensions' load-time work included, runs on it;
//   3. make the window (a view no observer added later hears of);
//   4. load the extensions meant for the home screen, as its loader does
//      (loadExtensions); observers that must hear load-time work (the trace,
//      the studio's held values) are added before;
//   5. add the default pills (scene().addDefaultPills()), or whatever the
//      front-end shows instead (a script, the tour).
//
//   host::HostStart host(root, std::make_unique<aurora::VirtualClock>());
//   host.loadExtensions(std::cerr);
//   host.scene().addDefaultPills();
//
// Once per process (pill classes register once and loaded libraries stay).
// Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "aurora/Clock.h"
#include "aurora/Loader.h"
#include "host/HostPillClasses.h"
#include "host/Scene.h"

namespace host {

// The home screen as the loader's filters see it.
inline constexpr const char* kHomeScreenBundleIdentifier = "com.apple.springboard";
inline constexpr const char* kHomeScreenExecutableName = "SpringBoard";
inline aurora::HostIdentity homeScreen() { return {kHomeScreenBundleIdentifier, kHomeScreenExecutableName}; }

struct HostOptions {
  std::vector<std::string> withoutClasses;  // host pill classes this run does without
  aurora::HostIdentity identity = homeScreen();
};

// Step 1.
void prepareDevice(const std::filesystem::path& root, const std::vector<std::string>& withoutClasses,
                   PillDrawing drawing = PillDrawing::Grey);

class HostStart {
 public:
  // Steps 1 to 3.
  HostStart(const std::filesystem::path& root, std::unique_ptr<aurora::Clock> clock, HostOptions options = {});

  // Step 4; the loader's failures are described on `diagnostics`.
  aurora::LoadReport loadExtensions(std::ostream& diagnostics) const;

  Scene& scene() { return scene_; }

 private:
  const aurora::HostIdentity identity_;
  Scene scene_;
};

}  // namespace host
