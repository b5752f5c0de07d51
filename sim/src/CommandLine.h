// The simulator's command line: what to run and how, read with CLI11.
//
//   auto parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
//   if (const int* status = std::get_if<int>(&parsed)) return *status;
//
// --help prints the help on `out` and asks for status 0; a bad command line
// (an unknown option, a bad value) prints the reason and the usage on `err`
// and asks for status 2. Main thread; once, at start-up.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "PrefValue.h"
#include "aurora/Time.h"

namespace sim {

enum class ClockKind { Virtual, Real };

struct SimOptions {
  std::filesystem::path root;
  // --style, then each --set in order (a later one wins).
  std::vector<PrefEntry> prefsEdits;
  std::vector<std::string> withoutClasses;
  std::optional<std::filesystem::path> script;
  ClockKind clock = ClockKind::Virtual;
  std::optional<aurora::Nanoseconds> duration;  // as given; see Simulator for the default
  std::optional<std::string> trace;             // a file, or "-" for stdout
  std::string bundleIdentifier;
  std::string executableName;
};

// Options to run with, or the status to exit with at once.
std::variant<SimOptions, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace sim
