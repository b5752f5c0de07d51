#include "LookSettings.h"

#include <fmt/format.h>

#include "SettingsApi.h"
#include "prefs/PreferenceKeys.h"

namespace studio {
namespace {

using Json = nlohmann::json;

Json jsonOf(const aurora::PreferenceValue& value) {
  return std::visit([](const auto& v) { return Json(v); }, value);
}

// Only what a settings pane writes; the check that follows says whether it fits its key.
Json paneValue(std::string_view key, const PropertyListValue& value) {
  const auto refuse = [&](std::string_view what) {
    return prefs::RefusedValue(fmt::format("{}: {} is not a value the settings pane writes", key, what));
  };
  return std::visit(
      [&](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, double> ||
                      std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::uint64_t>) {
          throw refuse("an integer past 64 signed bits");
        } else if constexpr (std::is_same_v<T, PropertyListDate>) {
          throw refuse("a date");
        } else if constexpr (std::is_same_v<T, PropertyListData>) {
          throw refuse("data");
        } else if constexpr (std::is_same_v<T, PropertyListArray>) {
          throw refuse("an array");
        } else {
          throw refuse("a dictionary or an archive reference");
        }
      },
      value.storage);
}

}  // namespace

Json settingsOf(const NSDictionary& dictionary) {
  Json settings = Json::object();
  for (const aurora::PreferenceEntry& starting : prefs::startingEntries()) {
    const PropertyListValue* value = dictionary.objectForKey(starting.key);
    settings[starting.key] = value ? paneValue(starting.key, *value) : jsonOf(starting.value);
  }
  checkedSettings(settings);
  return settings;
}

Json settingsOfFile(std::string_view bytes) {
  if (bytes.size() > kMostSettingsFileBytes) {
    throw prefs::RefusedValue(
        fmt::format("the file has {} bytes; a preferences file has at most {}", bytes.size(), kMostSettingsFileBytes));
  }
  const auto dictionary = NSDictionary::fromBytes(bytes);
  if (!dictionary)
    throw prefs::RefusedValue("the file is not a property list with a dictionary at its root, as the device reads one");
  return settingsOf(*dictionary);
}

std::vector<std::string> unreadKeys(const NSDictionary& dictionary) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : dictionary.entries()) {
    if (!prefs::isKnownKey(key)) keys.push_back(key);
  }
  return keys;
}

std::string settingsFile(const Json& settings, aurora::PlistFormat format) {
  return aurora::preferencesBytes(checkedSettings(settings), format);
}

}  // namespace studio
