// Reads a scenario script whole, before anything runs, and refuses it with
// "FILE:LINE: why" at the first line that cannot run: an unknown command, a
// bad number, a time that goes backwards, a pill name used before it is added
// or after it is removed, a pill class this process lacks, a pill name that
// looks like a generated trace id (v12, t3, a7), or a line after `end`.
//
//   Script script = readScriptFile("tour.aurora", PillClasses{{"MTStaticColorPillView"}, {}});
//
// Pure; any thread.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/Script.h"

namespace host {

class ScriptError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The pill classes a script may make, and those the host was told to leave out.
struct PillClasses {
  std::vector<std::string> available;
  std::vector<std::string> leftOut;
};

Script parseScript(std::string file, std::string_view text, const PillClasses& classes);
Script readScriptFile(const std::filesystem::path& file, const PillClasses& classes);

}  // namespace host
