#include "prefs/PreferenceKeys.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "ValueText.h"
#include "aurora/StrictNumbers.h"
#include "libcolorpicker.h"

namespace prefs {
namespace {

namespace key = settings::key;

constexpr std::array<std::string_view, 2> kDirectionLabels{"left to right", "right to left"};

// The general settings, then each style's own, under its name.
constexpr std::string_view kGeneral = "General";
using settings::kBreathing, settings::kFade, settings::kSpectrum, settings::kStatic, settings::kWave;
constexpr std::array kGroups{kGeneral, kWave, kSpectrum, kFade, kBreathing, kStatic};

constexpr std::array kKnownKeys{
    KnownKey{key::enabled, {kGeneral, "Enabled", "The master switch: while it is off, no pill is recoloured."}},
    KnownKey{key::style,
             {kGeneral, "Style", "How the pills are painted; a name that is none of these paints nothing."}},
    KnownKey{key::fadeColor1, {kFade, "First colour", "The colour the Fade starts from and returns to."}},
    KnownKey{key::fadeColor2, {kFade, "Second colour", "The colour the Fade turns to and from."}},
    KnownKey{key::breathingColor, {kBreathing, "Colour", "The colour the Breathing style fades in and out."}},
    KnownKey{key::staticColor, {kStatic, "Colour", "The one colour of the Static style."}},
    KnownKey{key::waveAnimationSpeed, {kWave, "Step", "Seconds between two steps of the wave.", 0.01, 0.5, 0.01, "s"}},
    KnownKey{key::waveOpacity, {kWave, "Opacity", "Read, but the wave always paints opaque colours.", 0, 1, 0.01}},
    KnownKey{key::specturmAnimationSpeed,
             {kSpectrum, "Step", "Seconds each step through the hues takes.", 0.01, 1, 0.01, "s"}},
    KnownKey{key::specturmOpacity,
             {kSpectrum, "Opacity", "Read, but the spectrum always paints opaque colours.", 0, 1, 0.01}},
    KnownKey{key::homeBarOpacity,
             {kGeneral, "Home bar opacity", "The opacity of the pill and of the colours in it.", 0, 1, 0.01}},
    KnownKey{key::breathingSpeed, {kBreathing, "Step", "Seconds each fade in or out takes.", 0.1, 20, 0.1, "s"}},
    KnownKey{key::fadeSpeed,
             {kFade, "Step", "Seconds each fade from one colour to the other takes.", 0.1, 20, 0.1, "s"}},
    KnownKey{key::waveDirection,
             {kWave, "Direction", "Which way the colours move along the pill.", 0, 0, 0, {}, kDirectionLabels}},
};

// The pane shows every key the extension reads, and only those, in its order.
constexpr bool sameKeysAsTheContract() {
  if (kKnownKeys.size() != settings::kKeys.size()) return false;
  for (std::size_t i = 0; i < kKnownKeys.size(); ++i) {
    if (kKnownKeys[i].name() != settings::nameOf(settings::kKeys[i])) return false;
  }
  return true;
}
static_assert(sameKeysAsTheContract());

constexpr bool everyGroupListed() {
  for (const KnownKey& key : kKnownKeys) {
    if (std::find(kGroups.begin(), kGroups.end(), key.pane.group) == kGroups.end()) return false;
  }
  return true;
}
static_assert(everyGroupListed());

// A page's slider can sit at each number's initial value: inside its range, a
// whole number of steps above its minimum.
constexpr bool initialValuesOnTheirSliders() {
  for (const KnownKey& key : kKnownKeys) {
    const auto* number = std::get_if<settings::NumberKey>(&key.contract);
    if (!number) continue;
    const double steps = (number->initial - key.pane.minimum) / key.pane.step;
    const double off = steps - static_cast<double>(static_cast<long long>(steps + 0.5));
    if (number->initial < key.pane.minimum || number->initial > key.pane.maximum || off > 1e-9 || off < -1e-9)
      return false;
  }
  return true;
}
static_assert(initialValuesOnTheirSliders());

aurora::PreferenceValue parseValue(const WriteItem& item) {
  const auto refuse = [&](std::string_view expected) {
    return RefusedValue(
        fmt::format("{}: '{}' is not a {} value ({})", item.key, item.text, typeFlag(item.type), expected));
  };
  switch (item.type) {
    case ValueType::Bool:
      if (auto flag = parseFlag(item.text)) return *flag;
      throw refuse("true, false, yes, no, 1 or 0");
    case ValueType::Int:
      if (auto integer = aurora::readInteger(item.text)) return *integer;
      throw refuse("a decimal integer that fits in 64 bits");
    case ValueType::Float:
      if (auto number = aurora::readReal(item.text)) return *number;
      throw refuse("a finite decimal number such as 0.5 or 1e-3");
    case ValueType::String:
      return item.text;
  }
  throw refuse("an unknown type");
}

bool typeFits(KeyKind kind, ValueType type) {
  switch (kind) {
    case KeyKind::Flag:
      return type == ValueType::Bool;
    case KeyKind::Number:
      return type == ValueType::Float || type == ValueType::Int;
    case KeyKind::Choice:
    case KeyKind::Color:
      return type == ValueType::String;
  }
  return false;
}

// Whether a string of the right type is one the library can use.
bool textFits(const KnownKey& key, const std::string& text) {
  switch (key.kind()) {
    case KeyKind::Choice:
      return std::ranges::find(key.choices(), text) != key.choices().end();
    case KeyKind::Color:
      return aurora::parseColorString(text).has_value();
    case KeyKind::Flag:
    case KeyKind::Number:
      return true;
  }
  return false;
}

}  // namespace

KeyKind KnownKey::kind() const {
  struct Kind {
    KeyKind operator()(const settings::FlagKey&) const { return KeyKind::Flag; }
    KeyKind operator()(const settings::TextKey&) const { return KeyKind::Choice; }
    KeyKind operator()(const settings::NumberKey&) const { return KeyKind::Number; }
    KeyKind operator()(const settings::ColorKey&) const { return KeyKind::Color; }
  };
  return std::visit(Kind{}, contract);
}

std::span<const std::string_view> KnownKey::choices() const {
  const auto* text = std::get_if<settings::TextKey>(&contract);
  return text ? text->choices : std::span<const std::string_view>{};
}

std::string_view KnownKey::fallback() const {
  const auto* color = std::get_if<settings::ColorKey>(&contract);
  return color ? color->fallback : std::string_view{};
}

std::span<const KnownKey> knownKeys() { return kKnownKeys; }

std::span<const std::string_view> paneGroups() { return kGroups; }

const KnownKey* findKnownKey(std::string_view key) {
  const auto known = std::ranges::find(kKnownKeys, key, &KnownKey::name);
  return known != kKnownKeys.end() ? &*known : nullptr;
}

bool isKnownKey(std::string_view key) { return findKnownKey(key) != nullptr; }

std::string_view typeFlag(ValueType type) {
  constexpr std::array<std::string_view, 4> kFlags{"-bool", "-int", "-float", "-string"};
  return kFlags[static_cast<std::size_t>(type)];
}

std::string usageOf(const KnownKey& key) {
  switch (key.kind()) {
    case KeyKind::Flag:
      return "-bool";
    case KeyKind::Number:
      return "-float or -int";
    case KeyKind::Choice:
      if (key.choices().size() == 2) return fmt::format("-string, {}", fmt::join(key.choices(), " or "));
      return fmt::format("-string, one of {}", fmt::join(key.choices(), ", "));
    case KeyKind::Color:
      return "-string, a colour: #RRGGBB or #RGB (hex digits), optionally :ALPHA (0 to 1)";
  }
  return {};
}

std::vector<aurora::PreferenceEntry> startingEntries() {
  struct Starting {
    aurora::PreferenceValue operator()(const settings::FlagKey& key) const { return key.initial; }
    aurora::PreferenceValue operator()(const settings::TextKey& key) const { return std::string(key.initial); }
    aurora::PreferenceValue operator()(const settings::NumberKey& key) const { return key.initial; }
    aurora::PreferenceValue operator()(const settings::ColorKey& key) const { return std::string(key.fallback); }
  };
  std::vector<aurora::PreferenceEntry> entries;
  for (const settings::AnyKey& key : settings::kKeys)
    entries.push_back({std::string(settings::nameOf(key)), std::visit(Starting{}, key)});
  return entries;
}

aurora::PreferenceEntry checkedEntry(const WriteItem& item) {
  if (auto why = aurora::unreadableText(item.key)) throw RefusedValue(fmt::format("a key {}", *why));
  if (auto why = aurora::unreadableText(item.text); why && item.type == ValueType::String) {
    throw RefusedValue(fmt::format("{}: the text {}", item.key, *why));
  }
  const KnownKey* known = findKnownKey(item.key);
  if (known && !typeFits(known->kind(), item.type)) {
    throw RefusedValue(fmt::format("{} takes {}, not {}", item.key, usageOf(*known), typeFlag(item.type)));
  }
  aurora::PreferenceValue value = parseValue(item);
  if (known && item.type == ValueType::String && !textFits(*known, item.text)) {
    throw RefusedValue(fmt::format("{}: '{}' does not fit; it takes {}", item.key, item.text, usageOf(*known)));
  }
  return {item.key, std::move(value)};
}

}  // namespace prefs
