// A parsed scenario script: what each line asks for, at which instant. Made
// whole by parseScript before anything runs, then only read. Plain values; any
// thread.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/NSRunLoop.h"
#include "aurora/PreferencesFile.h"
#include "aurora/Time.h"
#include "host/InferredValue.h"
#include "objc/runtime.h"

namespace host::command {

struct PrefsSet {
  aurora::PreferenceEntry entry;
};
struct PrefsUnset {
  std::string key;
};
struct PrefsDelete {};
struct PrefsRaw {
  std::string bytes;
};
struct PrefsFormat {
  aurora::PlistFormat format;
};
// Posts `name`; nothing means the settings-changed notification.
struct Notify {
  std::optional<std::string> name;
};
struct PillAdd {
  std::string name;
  std::string className;
  CGRect frame;
};
struct PillFrame {
  std::string name;
  CGRect frame;
};
struct PillLayout {
  std::string name;
};
struct PillSend {
  std::string name;
  std::string selector;
};
struct PillAddView {
  std::string name;
  NSInteger tag;
};
struct PillRemove {
  std::string name;
};
struct RunLoopMode {
  NSRunLoopMode mode;
};  // default or tracking
struct Snapshot {
  std::string file;
};
struct End {};

}  // namespace host::command

namespace host {

using Command =
    std::variant<command::PrefsSet, command::PrefsUnset, command::PrefsDelete, command::PrefsRaw, command::PrefsFormat,
                 command::Notify, command::PillAdd, command::PillFrame, command::PillLayout, command::PillSend,
                 command::PillAddView, command::PillRemove, command::RunLoopMode, command::Snapshot, command::End>;

struct ScriptLine {
  int number;              // in the file, from 1
  aurora::Nanoseconds at;  // since the start of the run
  Command command;
};

struct Script {
  std::string file;  // as named on the command line, for messages
  std::vector<ScriptLine> lines;

  // The instant of the last command; zero for an empty script.
  aurora::Nanoseconds lastInstant() const { return lines.empty() ? aurora::Nanoseconds{} : lines.back().at; }
};

}  // namespace host
