// auroraribbon-sim: the home-screen host that loads extensions from a
// simulated device root and shows what its home-indicator pills do.
#include <iostream>

#include "CommandLine.h"
#include "Simulator.h"
#include "host/ScriptParser.h"

int main(int argc, char** argv) {
  auto parsed = sim::parseCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  try {
    return sim::runSimulator(std::get<sim::SimOptions>(parsed), std::cout, std::cerr);
  } catch (const host::ScriptError& error) {
    std::cerr << error.what() << '\n';
    return 2;
  } catch (const sim::UsageError& error) {
    std::cerr << "auroraribbon-sim: " << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "auroraribbon-sim: " << error.what() << '\n';
    return 1;
  }
}
