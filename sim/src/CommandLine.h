// The simulator's command line: what to run and how, read with CLI11.
//
//   auto parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
//   if (const int* status = std::get_if<int>(&parsed)) return *status;
//
// --help prints the help on `out` and asks for status 0; a bad command line
// (an unknown option, a bad value, options that do not go together) prints
// the reason and the usage on `err` and asks for status 2. What can only be
// checked once the script is read (--at after the end of the run) throws
// UsageError later, also status 2. Main thread; once, at start-up.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "aurora/Time.h"
#include "host/InferredValue.h"
#include "picture/PictureLook.h"

namespace sim {

enum class ClockKind { Virtual, Real };

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline constexpr int kDefaultFps = 25;

struct SimOptions {
  std::filesystem::path root;
  // --style, then each --set in order (a later one wins).
  std::vector<aurora::PreferenceEntry> prefsEdits;
  std::vector<std::string> withoutClasses;
  std::optional<std::filesystem::path> script;
  std::optional<ClockKind> clock;               // as given; see Simulator for the default
  std::optional<aurora::Nanoseconds> duration;  // as given; see Simulator for the default
  std::optional<std::string> trace;             // a file, or "-" for stdout
  std::optional<std::string> cost;              // a file, or "-" for stdout: the cost figures (host/CostCounter.h)
  bool progress = false;                        // a GIF's progress on stderr even when it is no terminal
  std::optional<std::filesystem::path> png;
  std::optional<aurora::Nanoseconds> at;  // the PNG's instant; default: the end of the run
  std::optional<std::filesystem::path> gif;
  int fps = kDefaultFps;
  double scale = 3.0;                     // pixels per point, in files
  std::optional<picture::ViewKind> view;  // default: pills live and in a GIF, full in a PNG
  bool demo = false;
  std::string bundleIdentifier;
  std::string executableName;
};

// Options to run with, or the status to exit with at once.
std::variant<SimOptions, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace sim
