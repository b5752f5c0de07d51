// A whole set of settings as the page writes them: a JSON object holding
// every key AuroraRibbon reads, each at a value the page could have written
// (SettingsApi's checkedSettings). A phone's file, a saved look and a look's
// link all become one before anything is shown or written, so that each is
// checked by the one rule and a write of one leaves nothing of what was there.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Foundation/NSDictionary.h"
#include "aurora/PreferencesFile.h"

namespace studio {

// A phone's preferences file or a look's is under 1 KiB; anything past this is refused.
inline constexpr std::size_t kMostSettingsFileBytes = 16 * 1024;

// The settings a device starting with `dictionary` runs with: each key's value
// in it, or the extension's starting value (a colour at its fallback) where it
// has none. Throws prefs::RefusedValue, naming the key, for a value the page
// could not have written (another type, a choice or colour the extension does
// not know, a number outside its slider). Keys it does not read are left out.
nlohmann::json settingsOf(const NSDictionary& dictionary);

// The same from a file's bytes, also refusing more than kMostSettingsFileBytes
// and what the device would not read as a dictionary.
nlohmann::json settingsOfFile(std::string_view bytes);

// The keys in `dictionary` that AuroraRibbon does not read, sorted.
std::vector<std::string> unreadKeys(const NSDictionary& dictionary);

// `settings` (from settingsOf) as a property list in `format`.
std::string settingsFile(const nlohmann::json& settings, aurora::PlistFormat format);

}  // namespace studio
