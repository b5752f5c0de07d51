#include "HeldValues.h"

#include <cmath>

#include "libcolorpicker.h"

namespace studio {

using Json = nlohmann::json;

Json jsonNumber(double value) {
  if (std::isfinite(value)) return value;
  return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
}

Json readsFor(const prefs::KnownKey& key, const NSDictionary* dictionary) {
  const std::string_view name = key.name();
  switch (key.kind()) {
    case prefs::KeyKind::Flag:
      if (auto flag = dictionary ? dictionary->boolValue(name) : std::nullopt) return *flag;
      return nullptr;
    case prefs::KeyKind::Choice:
      if (auto text = dictionary ? dictionary->stringValue(name) : std::nullopt) return *text;
      return nullptr;
    case prefs::KeyKind::Number:
      if (auto value = dictionary ? dictionary->floatValue(name) : std::nullopt) return jsonNumber(*value);
      return nullptr;
    case prefs::KeyKind::Color: {
      auto text = dictionary ? dictionary->stringValue(name) : std::nullopt;
      return text && aurora::parseColorString(*text) ? *text : std::string(key.fallback());
    }
  }
  return nullptr;
}

Json initialOf(const prefs::KnownKey& key) {
  struct Initial {
    Json operator()(const settings::FlagKey& flag) const { return flag.initial; }
    Json operator()(const settings::TextKey& text) const { return text.initial; }
    Json operator()(const settings::NumberKey& number) const { return jsonNumber(number.initial); }
    Json operator()(const settings::ColorKey&) const { return nullptr; }
  };
  return std::visit(Initial{}, key.contract);
}

HeldValues::HeldMap HeldValues::initialHeld() {
  HeldMap held;
  for (const prefs::KnownKey& key : prefs::knownKeys()) held.emplace(key.name(), Held{initialOf(key), false});
  return held;
}

void HeldValues::dictionaryRead(std::string_view devicePath, const NSDictionary* contents) {
  if (devicePath != settings::kPreferencesPath) return;
  const aurora::MutexLock lock(mutex_);
  for (const prefs::KnownKey& key : prefs::knownKeys()) {
    if (Json took = readsFor(key, contents); !took.is_null()) held_.find(key.name())->second = {std::move(took), true};
  }
}

HeldValues::Held HeldValues::held(std::string_view key) const {
  const aurora::MutexLock lock(mutex_);
  const auto found = held_.find(key);
  if (found == held_.end()) throw std::out_of_range(std::string(key) + " is not a key the extension reads");
  return found->second;
}

}  // namespace studio
