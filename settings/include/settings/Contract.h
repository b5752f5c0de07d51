// The extension's contract with its preferences file: where the file lives,
// the notification that has the extension read it again, and for each key its
// name, how it is read, the value the extension starts with and, for a
// colour, the fallback colour string it takes when the file has no colour.
//
// The extension reads and initialises its settings key by key from these
// constants (RefreshPrefs.cpp, Settings.cpp); everything that writes, checks
// or shows the file (the settings pane, the studio, the host, the hardening
// programs, the benchmarks and fuzzers) takes the same facts from here.
// Header-only and constexpr, so using it links nothing; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <variant>

#include "CoreGraphics/CGGeometry.h"

namespace settings {

// A device path; the host maps it under its device root.
inline constexpr char kPreferencesPath[] = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
// A Darwin notification, posted by whoever wrote the file.
inline constexpr char kSettingsChangedNotification[] = "com.quillmoren.auroraribbon.settingschanged";

// The names `style` and `waveDirection` are compared with, exactly.
inline constexpr std::string_view kWave = "Wave";
inline constexpr std::string_view kSpectrum = "Spectrum";
inline constexpr std::string_view kFade = "Fade";
inline constexpr std::string_view kBreathing = "Breathing";
inline constexpr std::string_view kStatic = "Static";
inline constexpr std::array<std::string_view, 5> kStyleNames{kWave, kSpectrum, kFade, kBreathing, kStatic};

inline constexpr std::string_view kLeftToRight = "l2r";
inline constexpr std::string_view kRightToLeft = "r2l";
inline constexpr std::array<std::string_view, 2> kWaveDirections{kLeftToRight, kRightToLeft};

// Read with boolValue; kept when absent.
struct FlagKey {
  const char* name;
  bool initial;
};

// Read with stringValue; kept when absent. `choices` are the values the
// extension acts on (any other string is stored and matches nothing).
struct TextKey {
  const char* name;
  std::string_view initial;
  std::span<const std::string_view> choices;
};

// Read with floatValue, a 32-bit number widened to CGFloat; kept when absent.
struct NumberKey {
  const char* name;
  CGFloat initial;
};

// The system colour a colour setting holds before the first read, which
// always replaces it.
enum class SystemColor { Blue, Red };

// Read with stringValue and parsed as a colour string; absent or unparsable,
// it takes `fallback`.
struct ColorKey {
  const char* name;
  SystemColor initial;
  std::string_view fallback;
};

namespace key {
inline constexpr FlagKey enabled{"enabled", false};
inline constexpr TextKey style{"style", kWave, kStyleNames};
inline constexpr ColorKey fadeColor1{"fadeColor1", SystemColor::Blue, "#F62459"};
inline constexpr ColorKey fadeColor2{"fadeColor2", SystemColor::Red, "#BF55EC"};
inline constexpr ColorKey breathingColor{"breathingColor", SystemColor::Blue, "#2ABB9B"};
inline constexpr ColorKey staticColor{"staticColor", SystemColor::Blue, "#F62459"};
inline constexpr NumberKey waveAnimationSpeed{"waveAnimationSpeed", 0.05};
inline constexpr NumberKey waveOpacity{"waveOpacity", 1.0};
inline constexpr NumberKey specturmAnimationSpeed{"specturmAnimationSpeed", 0.1};
inline constexpr NumberKey specturmOpacity{"specturmOpacity", 1.0};
inline constexpr NumberKey homeBarOpacity{"homeBarOpacity", 1.0};
inline constexpr NumberKey breathingSpeed{"breathingSpeed", 10.0};
inline constexpr NumberKey fadeSpeed{"fadeSpeed", 10.0};
inline constexpr TextKey waveDirection{"waveDirection", kLeftToRight, kWaveDirections};
}  // namespace key

using AnyKey = std::variant<FlagKey, TextKey, NumberKey, ColorKey>;

// Every key, in the order the extension reads them.
inline constexpr std::array<AnyKey, 14> kKeys{
    key::enabled,
    key::style,
    key::fadeColor1,
    key::fadeColor2,
    key::breathingColor,
    key::staticColor,
    key::waveAnimationSpeed,
    key::waveOpacity,
    key::specturmAnimationSpeed,
    key::specturmOpacity,
    key::homeBarOpacity,
    key::breathingSpeed,
    key::fadeSpeed,
    key::waveDirection,
};

constexpr std::string_view nameOf(const AnyKey& key) {
  return std::visit([](const auto& k) { return k.name; }, key);
}

// The key named `name`, or null when the extension does not read it.
constexpr const AnyKey* findKey(std::string_view name) {
  for (const AnyKey& key : kKeys) {
    if (nameOf(key) == name) return &key;
  }
  return nullptr;
}

}  // namespace settings
