// The host process from start-up to the end of its run, in this order:
//   1. read the scenario script whole (a bad one stops here: ScriptError);
//      settle how the run is shown: the live view when standard output is a
//      terminal and no picture file or trace on standard output was asked
//      for (and the clock was not set to virtual), else headless; a terminal
//      without 24-bit colour, or --at after the end of the run, stops here
//      (std::runtime_error, UsageError);
//   2. start the host (host/HostStart.h): take the device root (RootError
//      when it is not a directory), register the host's pill classes but
//      those left out, start the main run loop over on the chosen clock (so
//      the trace's time starts at 0) and make the window (untraced);
//   3. open the trace; write --style and --set into the preferences file, as
//      the settings pane would;
//   4. start tracing, and load the extensions meant for the host named by
//      --bundle-id and --executable;
//   5. make the default pills, or hand the script's commands to the run loop,
//      or start the tour (--demo) — in the live view once it holds the terminal;
//   6. run the main run loop: live until a key, a signal or --duration ends
//      it; headless for the duration (or until the script's `end`), taking
//      the pictures the files need (Recorder.h).
// The headless duration is --duration, or else 10 s (the tour: one round,
// 20 s), stretched to a script's last command so that every command runs. A
// headless tour with no --gif writes the build tree's auroraribbon-tour.gif
// and prints its path.
//
// Failures while running throw (std::exception); the caller turns them into
// the exit status. Main thread; once per process.
#pragma once

#include <ostream>

#include "CommandLine.h"

namespace sim {

// Runs the host and returns the exit status (0, or 128 + the signal that ended
// the live view); `out` takes the tour's path, `err` the loader's diagnostics
// and notes.
int runSimulator(const SimOptions& options, std::ostream& out, std::ostream& err);

}  // namespace sim
