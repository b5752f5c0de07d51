// The host process from start-up to the end of its run, in this order:
//   1. read the scenario script whole (a bad one stops here: ScriptError);
//   2. take the device root (RootError when it is not a directory) and set
//      AURORARIBBON_ROOT to it; open the trace;
//   3. write --style and --set into the preferences file, as the settings
//      pane would;
//   4. start the main run loop over on the chosen clock, so that everything
//      from here on (extensions' load-time work included) runs on it and the
//      trace's time starts at 0;
//   5. make the window (untraced), start tracing, register the host's pill
//      classes and load the extensions meant for this host;
//   6. make the default pills, or hand the script's commands to the run loop;
//   7. run the main run loop for the duration (or until the script's `end`).
// The duration is --duration, or else 10 s, stretched to a script's last
// command so that every command runs.
//
// Failures while running throw (std::exception); the caller turns them into
// the exit status. Main thread; once per process.
#pragma once

#include <ostream>

#include "CommandLine.h"

namespace sim {

// Runs the host; `err` takes the loader's diagnostics and notes.
void runSimulator(const SimOptions& options, std::ostream& err);

}  // namespace sim
