// The keys AuroraRibbon reads from its preferences file, what each one takes,
// and the checked entry the settings pane writes for one `KEY -TYPE VALUE`.
// A value that does not fit its key is refused before anything is written;
// keys AuroraRibbon does not read take any type (the caller warns).
// Pure functions; any thread.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "CommandLine.h"
#include "aurora/PreferencesFile.h"

namespace prefs {

enum class KeyKind {
  Flag,       // -bool
  StyleName,  // -string, one of the five style names
  Direction,  // -string, l2r or r2l
  Colour,     // -string, a colour string
  Number,     // -float or -int, written as given
};

struct KnownKey {
  std::string_view name;
  KeyKind kind;
};

// In the order the library reads them.
std::span<const KnownKey> knownKeys();
bool isKnownKey(std::string_view key);
// What a key of this kind takes, for help and messages: "-float or -int", ...
std::string kindUsage(KeyKind kind);

class RefusedValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entry to write for `item`. Throws RefusedValue, naming the key, when the
// text is not a value of its type or the value does not fit the key.
aurora::PreferenceEntry checkedEntry(const WriteItem& item);

}  // namespace prefs
