#include "prefs/PreferenceKeys.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "ValueText.h"
#include "libcolorpicker.h"

namespace prefs {
namespace {

constexpr std::array kKnownKeys{
    KnownKey{"enabled", KeyKind::Flag},
    KnownKey{"style", KeyKind::StyleName},
    KnownKey{"fadeColor1", KeyKind::Colour, "#F62459"},
    KnownKey{"fadeColor2", KeyKind::Colour, "#BF55EC"},
    KnownKey{"breathingColor", KeyKind::Colour, "#2ABB9B"},
    KnownKey{"staticColor", KeyKind::Colour, "#F62459"},
    KnownKey{"waveAnimationSpeed", KeyKind::Number},
    KnownKey{"waveOpacity", KeyKind::Number},
    KnownKey{"specturmAnimationSpeed", KeyKind::Number},
    KnownKey{"specturmOpacity", KeyKind::Number},
    KnownKey{"homeBarOpacity", KeyKind::Number},
    KnownKey{"breathingSpeed", KeyKind::Number},
    KnownKey{"fadeSpeed", KeyKind::Number},
    KnownKey{"waveDirection", KeyKind::Direction},
};

// The names the library compares `style` and `waveDirection` with, exactly.
constexpr std::array<std::string_view, 5> kStyleNames{"Wave", "Spectrum", "Fade", "Breathing", "Static"};
constexpr std::array<std::string_view, 2> kDirections{"l2r", "r2l"};

aurora::PreferenceValue parseValue(const WriteItem& item) {
  const auto refuse = [&](std::string_view expected) {
    return RefusedValue(fmt::format("{}: '{}' is not a {} value ({})", item.key, item.text, typeFlag(item.type), expected));
  };
  switch (item.type) {
    case ValueType::Bool:
      if (auto flag = parseFlag(item.text)) return *flag;
      throw refuse("true, false, yes, no, 1 or 0");
    case ValueType::Int:
      if (auto integer = parseInteger(item.text)) return *integer;
      throw refuse("a decimal integer that fits in 64 bits");
    case ValueType::Float:
      if (auto number = parseFiniteNumber(item.text)) return *number;
      throw refuse("a finite decimal number such as 0.5 or 1e-3");
    case ValueType::String: return item.text;
  }
  throw refuse("an unknown type");
}

bool typeFits(KeyKind kind, ValueType type) {
  switch (kind) {
    case KeyKind::Flag: return type == ValueType::Bool;
    case KeyKind::Number: return type == ValueType::Float || type == ValueType::Int;
    case KeyKind::StyleName:
    case KeyKind::Direction:
    case KeyKind::Colour: return type == ValueType::String;
  }
  return false;
}

template <std::size_t N>
bool oneOf(const std::array<std::string_view, N>& names, std::string_view text) {
  return std::find(names.begin(), names.end(), text) != names.end();
}

// Whether a string of the right type is one the library can use.
bool textFits(KeyKind kind, const std::string& text) {
  switch (kind) {
    case KeyKind::StyleName: return oneOf(kStyleNames, text);
    case KeyKind::Direction: return oneOf(kDirections, text);
    case KeyKind::Colour: return aurora::parseColorString(text).has_value();
    case KeyKind::Flag:
    case KeyKind::Number: return true;
  }
  return false;
}

}  // namespace

std::span<const KnownKey> knownKeys() { return kKnownKeys; }

std::string_view typeFlag(ValueType type) {
  constexpr std::array<std::string_view, 4> kFlags{"-bool", "-int", "-float", "-string"};
  return kFlags[static_cast<std::size_t>(type)];
}

std::span<const std::string_view> choicesOf(KeyKind kind) {
  if (kind == KeyKind::StyleName) return kStyleNames;
  if (kind == KeyKind::Direction) return kDirections;
  return {};
}

bool isKnownKey(std::string_view key) {
  return std::any_of(kKnownKeys.begin(), kKnownKeys.end(), [&](const KnownKey& known) { return known.name == key; });
}

std::string kindUsage(KeyKind kind) {
  switch (kind) {
    case KeyKind::Flag: return "-bool";
    case KeyKind::Number: return "-float or -int";
    case KeyKind::StyleName: return fmt::format("-string, one of {}", fmt::join(kStyleNames, ", "));
    case KeyKind::Direction: return fmt::format("-string, {}", fmt::join(kDirections, " or "));
    case KeyKind::Colour: return "-string, a colour: #RRGGBB or #RGB (hex digits), optionally :ALPHA (0 to 1)";
  }
  return {};
}

aurora::PreferenceEntry checkedEntry(const WriteItem& item) {
  const auto known = std::find_if(kKnownKeys.begin(), kKnownKeys.end(), [&](const KnownKey& k) { return k.name == item.key; });
  if (known != kKnownKeys.end() && !typeFits(known->kind, item.type)) {
    throw RefusedValue(fmt::format("{} takes {}, not {}", item.key, kindUsage(known->kind), typeFlag(item.type)));
  }
  aurora::PreferenceValue value = parseValue(item);
  if (known != kKnownKeys.end() && item.type == ValueType::String && !textFits(known->kind, item.text)) {
    throw RefusedValue(fmt::format("{}: '{}' does not fit; it takes {}", item.key, item.text, kindUsage(known->kind)));
  }
  return {item.key, std::move(value)};
}

}  // namespace prefs
