// The studio process from start-up to its end:
//   1. take the device root (host::RootError when it is not a directory);
//   2. start the host as the simulator does (host/HostStart.h), on the real
//      clock, the studio's held values and preview listening from before the
//      extensions load; then the two default pills;
//   3. bind the port (std::runtime_error when it cannot: in use, a bad
//      address), print the page's address on `out`, and serve on a thread of
//      its own;
//   4. run the main run loop until Ctrl-C, SIGTERM or SIGHUP; then stop the
//      server and join its threads.
// The settings-changed notification is observed like any other reader of
// the file, so the page hears of changes whoever made them.
//
// Main thread; once per process.
#pragma once

#include <ostream>

#include "StudioOptions.h"

namespace studio {

// Runs the studio; returns the exit status (0 once a signal stopped it).
int runStudio(const StudioOptions& options, std::ostream& out, std::ostream& err);

}  // namespace studio
