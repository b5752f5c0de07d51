// The settings pane's command line, modelled on the `defaults` tool:
//
//   auroraribbon-prefs [--root DIR] [--binary] read [KEY]
//   auroraribbon-prefs [--root DIR] [--binary] write KEY -bool|-int|-float|-string VALUE [KEY -TYPE VALUE ...]
//   auroraribbon-prefs [--root DIR] [--binary] delete [KEY]
//
// Parsing only checks the shape of the command line; whether a value fits its
// key is decided later (prefs/PreferenceKeys.h). Pure apart from writing help and
// errors to the streams it is given; main thread.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "aurora/PreferencesFile.h"
#include "prefs/PreferenceKeys.h"

namespace prefs {

struct ReadCommand {
  std::optional<std::string> key;  // nothing: the whole dictionary
};
struct WriteCommand {
  std::vector<WriteItem> items;
};
struct DeleteCommand {
  std::optional<std::string> key;  // nothing: the whole file
};
using Command = std::variant<ReadCommand, WriteCommand, DeleteCommand>;

struct Invocation {
  std::filesystem::path root;
  aurora::PlistFormat format = aurora::PlistFormat::Xml;
  Command command;
};

// The invocation; or the exit status when the command line was handled by
// itself (--help: 0) or refused (2, with the reason and the usage on `err`).
// The root defaults to the current device root (AURORARIBBON_ROOT, else "/").
std::variant<Invocation, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace prefs
