// Values for `write KEY -TYPE VALUE`: reading the text strictly, and checking
// that the value fits the key AuroraRibbon reads it under.
#include "PreferenceKeys.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <limits>

namespace prefs {
namespace {

// --- Reading the text --------------------------------------------------------

TEST(PrefsValueText, FlagsAreTheUsualWordsInAnyCase) {
  for (const char* yes : {"true", "TRUE", "Yes", "yes", "1"}) EXPECT_EQ(parseFlag(yes), true) << yes;
  for (const char* no : {"false", "False", "NO", "no", "0"}) EXPECT_EQ(parseFlag(no), false) << no;
  for (const char* neither : {"", "y", "2", "on", " true", "true "}) EXPECT_EQ(parseFlag(neither), std::nullopt) << neither;
}

TEST(PrefsValueText, IntegersAreWholeDecimalsThatFit) {
  EXPECT_EQ(parseInteger("42"), 42);
  EXPECT_EQ(parseInteger("+7"), 7);
  EXPECT_EQ(parseInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  for (const char* bad : {"", "+", "-", "+-1", "1.5", "1e3", "0x10", " 1", "1 ", "9223372036854775808"}) {
    EXPECT_EQ(parseInteger(bad), std::nullopt) << bad;
  }
}

TEST(PrefsValueText, NumbersAreFiniteDecimals) {
  EXPECT_EQ(parseFiniteNumber("0.5"), 0.5);
  EXPECT_EQ(parseFiniteNumber(".5"), 0.5);
  EXPECT_EQ(parseFiniteNumber("-2"), -2.0);
  EXPECT_EQ(parseFiniteNumber("+1e-3"), 1e-3);
  EXPECT_EQ(parseFiniteNumber("0.1"), 0.1);
  for (const char* bad : {"", ".", "-", "abc", "nan", "inf", "-infinity", "0x10", "1e999", "1.2.3", " 1", "1,5", "++1"}) {
    EXPECT_EQ(parseFiniteNumber(bad), std::nullopt) << bad;
  }
}

// --- Fitting the key ------------------------------------------------------------

aurora::PreferenceValue valueFor(const std::string& key, ValueType type, const std::string& text) {
  return checkedEntry({key, type, text}).value;
}

std::string refusalFor(const std::string& key, ValueType type, const std::string& text) {
  try {
    checkedEntry({key, type, text});
  } catch (const RefusedValue& refused) {
    return refused.what();
  }
  return "(accepted)";
}

TEST(PrefsPreferenceKeys, KnowsEveryKeyTheLibraryReads) {
  std::vector<std::string> names;
  for (const KnownKey& key : knownKeys()) names.emplace_back(key.name);
  EXPECT_EQ(names, (std::vector<std::string>{"enabled", "style", "fadeColor1", "fadeColor2", "breathingColor",
                                             "staticColor", "waveAnimationSpeed", "waveOpacity",
                                             "specturmAnimationSpeed", "specturmOpacity", "homeBarOpacity",
                                             "breathingSpeed", "fadeSpeed", "waveDirection"}));
  EXPECT_TRUE(isKnownKey("fadeSpeed"));
  EXPECT_FALSE(isKnownKey("FadeSpeed"));
}

TEST(PrefsPreferenceKeys, AcceptsValuesOfTheKeysType) {
  EXPECT_EQ(valueFor("enabled", ValueType::Bool, "yes"), aurora::PreferenceValue(true));
  EXPECT_EQ(valueFor("style", ValueType::String, "Breathing"), aurora::PreferenceValue(std::string("Breathing")));
  EXPECT_EQ(valueFor("waveDirection", ValueType::String, "r2l"), aurora::PreferenceValue(std::string("r2l")));
  for (const char* colour : {"#F62459", "#abc", "#FFFFFF:0.75", "#000:1"}) {
    EXPECT_EQ(valueFor("staticColor", ValueType::String, colour), aurora::PreferenceValue(std::string(colour)));
  }
}

TEST(PrefsPreferenceKeys, NumberKeysTakeRealsAndIntegersAsGiven) {
  EXPECT_EQ(valueFor("homeBarOpacity", ValueType::Float, "0.5"), aurora::PreferenceValue(0.5));
  EXPECT_EQ(valueFor("homeBarOpacity", ValueType::Int, "1"), aurora::PreferenceValue(std::int64_t{1}));
  EXPECT_EQ(valueFor("fadeSpeed", ValueType::Float, "3"), aurora::PreferenceValue(3.0));
}

TEST(PrefsPreferenceKeys, UnknownKeysTakeAnyType) {
  EXPECT_EQ(valueFor("mine", ValueType::String, "#nope"), aurora::PreferenceValue(std::string("#nope")));
  EXPECT_EQ(valueFor("mine", ValueType::Int, "-4"), aurora::PreferenceValue(std::int64_t{-4}));
  EXPECT_EQ(refusalFor("mine", ValueType::Float, "x"), "mine: 'x' is not a -float value (a finite decimal number such as 0.5 or 1e-3)");
}

TEST(PrefsPreferenceKeys, RefusesATypeTheKeyDoesNotTake) {
  EXPECT_EQ(refusalFor("enabled", ValueType::String, "yes"), "enabled takes -bool, not -string");
  EXPECT_EQ(refusalFor("enabled", ValueType::Int, "1"), "enabled takes -bool, not -int");
  EXPECT_EQ(refusalFor("homeBarOpacity", ValueType::String, "0.5"), "homeBarOpacity takes -float or -int, not -string");
  EXPECT_EQ(refusalFor("homeBarOpacity", ValueType::Bool, "1"), "homeBarOpacity takes -float or -int, not -bool");
  EXPECT_EQ(refusalFor("fadeColor1", ValueType::Int, "255"),
            "fadeColor1 takes -string, a colour: #RRGGBB or #RGB (hex digits), optionally :ALPHA (0 to 1), not -int");
  EXPECT_EQ(refusalFor("style", ValueType::Bool, "1"), "style takes -string, one of Wave, Spectrum, Fade, Breathing, Static, not -bool");
}

TEST(PrefsPreferenceKeys, RefusesTextThatIsNoValueOfItsType) {
  EXPECT_EQ(refusalFor("enabled", ValueType::Bool, "maybe"), "enabled: 'maybe' is not a -bool value (true, false, yes, no, 1 or 0)");
  EXPECT_EQ(refusalFor("fadeSpeed", ValueType::Int, "1.5"), "fadeSpeed: '1.5' is not a -int value (a decimal integer that fits in 64 bits)");
  EXPECT_EQ(refusalFor("fadeSpeed", ValueType::Float, "nan"),
            "fadeSpeed: 'nan' is not a -float value (a finite decimal number such as 0.5 or 1e-3)");
}

TEST(PrefsPreferenceKeys, RefusesStringsTheLibraryCannotUse) {
  for (const char* colour : {"", "F62459", "#F6245", "#GGGGGG", "#F62459 ", "#F62459:", "#F62459:1e-1", "red"}) {
    EXPECT_NE(refusalFor("fadeColor2", ValueType::String, colour).find("does not fit"), std::string::npos) << colour;
  }
  EXPECT_EQ(refusalFor("style", ValueType::String, "wave"),
            "style: 'wave' does not fit; it takes -string, one of Wave, Spectrum, Fade, Breathing, Static");
  EXPECT_EQ(refusalFor("waveDirection", ValueType::String, "up"), "waveDirection: 'up' does not fit; it takes -string, l2r or r2l");
}

}  // namespace
}  // namespace prefs
