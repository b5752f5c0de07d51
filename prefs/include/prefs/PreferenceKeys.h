// The keys AuroraRibbon reads from its preferences file (the extension's
// contract, settings/Contract.h) with what a settings front-end shows of each,
// and the checked entry a settings front-end writes for one `KEY -TYPE VALUE`
// (the settings pane's command line, the studio's page): one validation for
// both. A value that does not fit its key is refused before anything is
// written; keys AuroraRibbon does not read take any type (the caller decides
// whether to warn or refuse). Pure functions; any thread.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "aurora/PreferencesFile.h"
#include "settings/Contract.h"

namespace prefs {

// The type flag written before a value: -bool, -int, -float or -string.
enum class ValueType { Bool, Int, Float, String };
std::string_view typeFlag(ValueType type);

struct WriteItem {
  std::string key;
  ValueType type;
  std::string text;
  friend bool operator==(const WriteItem&, const WriteItem&) = default;
};

// How the pane checks a key's values, from how the extension reads it.
enum class KeyKind {
  Flag,    // -bool
  Choice,  // -string, one of the key's choices
  Color,   // -string, a colour string
  Number,  // -float or -int, written as given
};

// What only a settings front-end needs to show a key: where it sits, what it
// is called, what it does, and for a number the range and step of its slider.
struct PaneSide {
  std::string_view group;
  std::string_view label;
  std::string_view explanation;
  double minimum = 0;
  double maximum = 0;
  double step = 0;
  std::string_view unit = {};
  // Shown for each of the key's choices, in their order; empty: the choices themselves.
  std::span<const std::string_view> choiceLabels = {};
};

// One key: the extension's side (settings/Contract.h) beside the pane's.
struct KnownKey {
  settings::AnyKey contract;
  PaneSide pane;

  constexpr std::string_view name() const { return settings::nameOf(contract); }
  KeyKind kind() const;
  // A choice key's strings, exactly as the extension compares them; else empty.
  std::span<const std::string_view> choices() const;
  // A colour's: what the extension reads when the file has no colour string there.
  std::string_view fallback() const;
};

// In the order the extension reads them.
std::span<const KnownKey> knownKeys();
// Every PaneSide::group, in the order a front-end shows them.
std::span<const std::string_view> paneGroups();
// The key named `key`, or null when the extension does not read it.
const KnownKey* findKnownKey(std::string_view key);
bool isKnownKey(std::string_view key);
// What a key takes, for help and messages: "-float or -int", ...
std::string usageOf(const KnownKey& key);

// Every key at the value the extension starts with (a colour at its fallback
// colour string), in its order: a whole file that changes no setting.
std::vector<aurora::PreferenceEntry> startingEntries();

class RefusedValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entry to write for `item`. Throws RefusedValue, naming the key, when the
// text is not a value of its type, the value does not fit the key, or the key
// or a string is text some reader could not read back (aurora::unreadableText).
aurora::PreferenceEntry checkedEntry(const WriteItem& item);

}  // namespace prefs
