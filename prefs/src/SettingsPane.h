// What the settings pane does with a parsed command line: read, write or
// delete in AuroraRibbon's preferences file under the device root, through the
// platform's writer (aurora/PreferencesFile.h), then post the settings-changed
// notification so that running processes read the file again.
//
//   auto parsed = prefs::parseCommandLine(argc, argv, std::cout, std::cerr);
//   return prefs::runSettingsPane(std::get<prefs::Invocation>(parsed), std::cout, std::cerr);
//
// Promises:
// - A write checks every KEY -TYPE VALUE first; one that does not fit refuses
//   the whole command (status 2) and nothing is written or posted.
// - Writes are atomic, keep every other key and wait for any other writer; a
//   file that is not a readable dictionary is never changed by write or by
//   delete KEY, and a folder, FIFO, device or socket at the path is never
//   opened nor removed (status 1).
// - The notification is posted once after each change, never when nothing
//   changed.
// - Keys AuroraRibbon does not read are written, with a warning on `err`.
//
// Sets AURORARIBBON_ROOT for this process to the invocation's root. Main
// thread only (it changes the environment).
#pragma once

#include <ostream>

#include "CommandLine.h"

namespace prefs {

// The exit status: 0 done; 1 no such file or key, a root that is not a
// directory, or a file that could not be read or written; 2 a refused value.
// Messages go to `err`, what `read` prints to `out`.
int runSettingsPane(const Invocation& invocation, std::ostream& out, std::ostream& err);

}  // namespace prefs
