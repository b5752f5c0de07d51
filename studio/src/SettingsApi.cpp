#include "SettingsApi.h"

#include <fmt/format.h>

#include <charconv>

#include "Foundation/NSDictionary.h"
#include "aurora/PreferencesFile.h"
#include "prefs/Describe.h"
#include "prefs/PreferenceKeys.h"

namespace studio {
namespace {

using Json = nlohmann::json;

// The server's one thread writes, so it waits only briefly for another
// writer's lock: a stuck writer gets the page a 409, never a hung studio.
constexpr std::chrono::milliseconds kLockPatience{500};

ApiResult refused(int status, const std::string& why) { return {status, Json{{"error", why}}}; }

// A file value as JSON: flags, numbers and strings as they are, anything else
// in the readable form the settings pane prints.
Json fileValue(const PropertyListValue& value) {
  return std::visit(
      [&](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t> ||
                      std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, double>) {
          return jsonNumber(v);
        } else {
          return prefs::describe(value);
        }
      },
      value.storage);
}

const char* kindName(prefs::KeyKind kind) {
  switch (kind) {
    case prefs::KeyKind::Flag:
      return "flag";
    case prefs::KeyKind::Choice:
      return "choice";
    case prefs::KeyKind::Color:
      return "color";
    case prefs::KeyKind::Number:
      return "number";
  }
  return "?";
}

// How a front-end shows the key: the pane's side of the table.
Json paneSide(const prefs::PaneSide& pane) {
  Json side{{"group", pane.group}, {"label", pane.label}, {"explanation", pane.explanation}};
  if (pane.step > 0)
    side["range"] = Json{{"min", pane.minimum}, {"max", pane.maximum}, {"step", pane.step}, {"unit", pane.unit}};
  if (!pane.choiceLabels.empty())
    side["choiceLabels"] = std::vector<std::string>(pane.choiceLabels.begin(), pane.choiceLabels.end());
  return side;
}

Json describeKey(const prefs::KnownKey& key, const NSDictionary* dictionary, const HeldValues::Held& held) {
  Json entry{{"key", key.name()}, {"kind", kindName(key.kind())}, {"pane", paneSide(key.pane)}};
  if (auto choices = key.choices(); !choices.empty())
    entry["choices"] = std::vector<std::string>(choices.begin(), choices.end());
  const PropertyListValue* value = dictionary ? dictionary->objectForKey(key.name()) : nullptr;
  entry["file"] = value ? fileValue(*value) : Json(nullptr);
  entry["reads"] = readsFor(key, dictionary);
  entry["held"] = Json{{"value", held.value}, {"from", held.read ? "read" : "initial"}};
  if (Json initial = initialOf(key); !initial.is_null()) entry["initial"] = std::move(initial);
  if (!key.fallback().empty()) entry["fallback"] = key.fallback();
  return entry;
}

// A JSON value as the pane's `KEY -TYPE TEXT`, so that one validation serves both.
prefs::WriteItem writeItem(const std::string& key, const Json& value) {
  if (value.is_boolean()) return {key, prefs::ValueType::Bool, value.get<bool>() ? "true" : "false"};
  if (value.is_number_integer()) return {key, prefs::ValueType::Int, value.dump()};
  if (value.is_number_float()) {  // finite: the parser refuses 1e999 and has no word for NaN
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value.get<double>()).ptr;  // shortest, reads back exactly
    return {key, prefs::ValueType::Float, std::string(text, end)};
  }
  if (value.is_string()) return {key, prefs::ValueType::String, value.get<std::string>()};
  throw prefs::RefusedValue(key + ": a value must be true, false, a number or a string");
}

// The page writes only what its sliders could: a number inside its range.
void checkRange(const prefs::KnownKey& key, const aurora::PreferenceValue& value) {
  if (key.kind() != prefs::KeyKind::Number) return;
  const double number = std::holds_alternative<double>(value) ? std::get<double>(value)
                                                              : static_cast<double>(std::get<std::int64_t>(value));
  if (number < key.pane.minimum || number > key.pane.maximum) {
    throw prefs::RefusedValue(
        fmt::format("{}: {} is outside its range, {} to {}", key.name(), number, key.pane.minimum, key.pane.maximum));
  }
}

}  // namespace

std::vector<aurora::PreferenceEntry> checkedSettings(const Json& body) {
  if (!body.is_object()) throw prefs::RefusedValue("the body must be a JSON object of keys and values");
  std::vector<aurora::PreferenceEntry> entries;
  for (const auto& [key, value] : body.items()) {
    if (!prefs::isKnownKey(key)) throw prefs::RefusedValue("'" + key + "' is not a key AuroraRibbon reads");
    entries.push_back(prefs::checkedEntry(writeItem(key, value)));
    checkRange(*prefs::findKnownKey(key), entries.back().value);
  }
  return entries;
}

SettingsApi::SettingsApi(std::filesystem::path file, std::function<void()> changed, const HeldValues& held)
    : file_(std::move(file)), changed_(std::move(changed)), held_(held) {}

ApiResult SettingsApi::read(std::uint64_t version) const {
  const aurora::MutexLock lock(mutex_);
  std::shared_ptr<const NSDictionary> dictionary;
  bool readable = true;
  try {
    dictionary = aurora::PreferencesFile(file_).contents();
  } catch (const aurora::PreferencesError&) {
    readable = false;
  }
  Json keys = Json::array(), other = Json::object();
  for (const prefs::KnownKey& key : prefs::knownKeys())
    keys.push_back(describeKey(key, dictionary.get(), held_.held(key.name())));
  if (dictionary) {
    for (const auto& [key, value] : dictionary->entries()) {
      if (!prefs::isKnownKey(key)) other[key] = fileValue(value);
    }
  }
  const bool exists = dictionary || !readable;
  const auto groups = prefs::paneGroups();
  return {200, Json{{"exists", exists},
                    {"readable", readable},
                    {"version", version},
                    {"groups", std::vector<std::string>(groups.begin(), groups.end())},
                    {"keys", keys},
                    {"other", other}}};
}

ApiResult SettingsApi::write(std::string_view body, std::uint64_t version) {
  const Json parsed = Json::parse(body, nullptr, false);
  if (parsed.is_discarded()) return refused(400, "the body is not JSON");
  std::vector<aurora::PreferenceEntry> entries;
  try {
    entries = checkedSettings(parsed);
  } catch (const prefs::RefusedValue& why) {
    return refused(400, why.what());
  }
  {
    const aurora::MutexLock lock(mutex_);
    if (!entries.empty()) {
      try {
        aurora::PreferencesFile file(file_, aurora::kExistingFormat);  // keeps the file's format
        file.setLockPatience(kLockPatience);
        file.set(entries);
      } catch (const aurora::PreferencesError& why) {
        return refused(409, why.what());
      }
    }
  }
  if (!entries.empty()) changed_();
  return read(version);
}

ApiResult SettingsApi::preview(const Json& settings) const {
  try {
    checkedSettings(settings);
  } catch (const prefs::RefusedValue& why) {
    return refused(400, why.what());
  }
  std::shared_ptr<const NSDictionary> dictionary;
  {
    const aurora::MutexLock lock(mutex_);
    try {
      dictionary = aurora::PreferencesFile(file_).contents();
    } catch (const aurora::PreferencesError&) {
      // Unreadable: every value would change, as a write would replace it all.
    }
  }
  Json changes = Json::array();
  for (const auto& [key, value] : settings.items()) {
    const PropertyListValue* now = dictionary ? dictionary->objectForKey(key) : nullptr;
    Json current = now ? fileValue(*now) : Json(nullptr);
    if (current != value) changes.push_back(Json{{"key", key}, {"current", std::move(current)}, {"new", value}});
  }
  return {200, Json{{"changes", changes}, {"settings", settings}}};
}

ApiResult SettingsApi::remove() {
  bool removed = false;
  {
    const aurora::MutexLock lock(mutex_);
    try {
      aurora::PreferencesFile file(file_);
      file.setLockPatience(kLockPatience);
      removed = file.remove();
    } catch (const aurora::PreferencesError& why) {
      return refused(409, why.what());
    }
  }
  if (removed) changed_();
  return {200, Json{{"removed", removed}}};
}

}  // namespace studio
