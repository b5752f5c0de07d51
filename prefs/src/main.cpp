// auroraribbon-prefs: the settings pane. Reads and writes AuroraRibbon's
// preferences file on a simulated device and posts the settings-changed
// notification after each change.
#include <iostream>

#include "CommandLine.h"
#include "SettingsPane.h"

int main(int argc, char** argv) {
  auto parsed = prefs::parseCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  return prefs::runSettingsPane(std::get<prefs::Invocation>(parsed), std::cout, std::cerr);
}
