// auroraribbon-studio: the settings pane as a local web page, with the host's
// home-indicator pills live beside it.
#include <iostream>

#include "Studio.h"
#include "StudioOptions.h"

int main(int argc, char** argv) {
  auto parsed = studio::parseStudioCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  try {
    return studio::runStudio(std::get<studio::StudioOptions>(parsed), std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "auroraribbon-studio: " << error.what() << '\n';
    return 1;
  }
}
