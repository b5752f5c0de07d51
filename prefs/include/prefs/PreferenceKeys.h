// The keys AuroraRibbon reads from its preferences file, what each one takes,
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

#include "aurora/PreferencesFile.h"

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
  // A colour's: what the library reads when the file has no colour string there.
  std::string_view fallback = {};
};

// In the order the library reads them.
std::span<const KnownKey> knownKeys();
bool isKnownKey(std::string_view key);
// What a key of this kind takes, for help and messages: "-float or -int", ...
std::string kindUsage(KeyKind kind);
// The strings a style or direction key takes, exactly as the library compares them.
std::span<const std::string_view> choicesOf(KeyKind kind);

class RefusedValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entry to write for `item`. Throws RefusedValue, naming the key, when the
// text is not a value of its type or the value does not fit the key.
aurora::PreferenceEntry checkedEntry(const WriteItem& item);

}  // namespace prefs
