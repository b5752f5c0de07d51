// Reading the preferences file into the settings, with files written as XML
// and as binary property lists.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TempDeviceRoot.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PreferencesFile.h"
#include "settings/Settings.h"

namespace {

using namespace aurora::testing;
using aurora::PlistFormat;
using aurora::preferencesBytes;

RGBA hex(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }
const RGBA kFade1Fallback = hex(246, 36, 89);
const RGBA kFade2Fallback = hex(191, 85, 236);
const RGBA kBreathingFallback = hex(42, 187, 155);

class RefreshPrefsTest : public ::testing::TestWithParam<PlistFormat> {
 protected:
  void SetUp() override { settings::assignInitialValues(); }
  void write(const std::vector<aurora::PreferenceEntry>& entries) { writeBytes(preferencesBytes(entries, GetParam())); }
  void writeBytes(std::string_view bytes) { root.write(settings::kPreferencesPath, bytes); }
  TempDeviceRoot root;
};

void expectFallbackColours() {
  EXPECT_EQ(settings::firstColor->components(), kFade1Fallback);
  EXPECT_EQ(settings::secondColor->components(), kFade2Fallback);
  EXPECT_EQ(settings::breathingColor->components(), kBreathingFallback);
  EXPECT_EQ(settings::staticColor->components(), kFade1Fallback);
}

void expectInitialPlainSettings() {
  EXPECT_EQ(settings::style, "Wave");
  EXPECT_EQ(settings::waveDirection, "l2r");
  EXPECT_EQ(settings::waveSpeed, 0.05);
  EXPECT_EQ(settings::specturmSpeed, 0.1);
  EXPECT_EQ(settings::homeBarOpacity, 1.0);
  EXPECT_EQ(settings::breathingSpeed, 10.0);
  EXPECT_EQ(settings::fadeSpeed, 10.0);
}

TEST(RefreshPrefsWithoutFileTest, NoFileKeepsInitialValuesAndGivesFallbackColours) {
  TempDeviceRoot root;
  settings::assignInitialValues();
  EXPECT_EQ(settings::firstColor->components(), (RGBA{0, 0, 1, 1}));  // before the first read: system blue
  settings::refreshPrefs();
  EXPECT_FALSE(settings::enabled);
  expectInitialPlainSettings();
  expectFallbackColours();
}

TEST_P(RefreshPrefsTest, OnlyEnabledSwitchesOnAndChangesNothingElse) {
  write({{"enabled", true}});
  settings::refreshPrefs();
  EXPECT_TRUE(settings::enabled);
  expectInitialPlainSettings();
  expectFallbackColours();
}

TEST_P(RefreshPrefsTest, EveryKeyIsReadWithNumbersAsWidenedFloats) {
  write({{"enabled", true}, {"style", std::string("Breathing")}, {"fadeColor1", std::string("#00ff00")},
         {"fadeColor2", std::string("#123")}, {"breathingColor", std::string("#FFFFFF:0.75")},
         {"staticColor", std::string("#0000FF")}, {"waveAnimationSpeed", 0.2}, {"waveOpacity", 0.5},
         {"specturmAnimationSpeed", std::int64_t{2}}, {"specturmOpacity", 0.25}, {"homeBarOpacity", 0.1},
         {"breathingSpeed", 3.5}, {"fadeSpeed", std::int64_t{7}}, {"waveDirection", std::string("r2l")},
         {"someOtherKey", std::string("ignored")}});
  settings::refreshPrefs();
  EXPECT_EQ(settings::style, "Breathing");
  EXPECT_EQ(settings::firstColor->components(), (RGBA{0, 1, 0, 1}));
  EXPECT_EQ(settings::secondColor->components(), hex(0x11, 0x22, 0x33));
  EXPECT_EQ(settings::breathingColor->components(), (RGBA{1, 1, 1, 0.75}));
  EXPECT_EQ(settings::staticColor->components(), (RGBA{0, 0, 1, 1}));
  EXPECT_EQ(settings::waveSpeed, static_cast<double>(0.2f));
  EXPECT_EQ(settings::waveSpeed, 0.20000000298023224);
  EXPECT_EQ(settings::waveOpacity, 0.5);
  EXPECT_EQ(settings::specturmSpeed, 2.0);
  EXPECT_EQ(settings::specturmOpacity, 0.25);
  EXPECT_EQ(settings::homeBarOpacity, static_cast<double>(0.1f));
  EXPECT_EQ(settings::breathingSpeed, 3.5);
  EXPECT_EQ(settings::fadeSpeed, 7.0);
  EXPECT_EQ(settings::waveDirection, "r2l");
}

TEST_P(RefreshPrefsTest, DeletedFileKeepsPlainSettingsButColoursFallBack) {
  write({{"enabled", true}, {"style", std::string("Fade")}, {"fadeColor1", std::string("#00FF00")},
         {"fadeSpeed", 2.0}});
  settings::refreshPrefs();
  ASSERT_EQ(settings::firstColor->components(), (RGBA{0, 1, 0, 1}));
  std::filesystem::remove(aurora::hostPath(settings::kPreferencesPath));
  settings::refreshPrefs();
  EXPECT_TRUE(settings::enabled);
  EXPECT_EQ(settings::style, "Fade");
  EXPECT_EQ(settings::fadeSpeed, 2.0);
  expectFallbackColours();
}

TEST_P(RefreshPrefsTest, UnreadableColourFallsBackAloneAndStaticSharesTheFirstFallback) {
  write({{"fadeColor1", std::string("#010203")}, {"fadeColor2", std::string("purple")},
         {"breathingColor", std::string("#0A0B0C")}});
  settings::refreshPrefs();
  EXPECT_EQ(settings::firstColor->components(), hex(1, 2, 3));
  EXPECT_EQ(settings::secondColor->components(), kFade2Fallback);
  EXPECT_EQ(settings::breathingColor->components(), hex(10, 11, 12));
  EXPECT_EQ(settings::staticColor->components(), kFade1Fallback);
}

TEST_P(RefreshPrefsTest, UnknownStyleIsStoredUnchanged) {
  write({{"style", std::string("wave ")}});
  settings::refreshPrefs();
  EXPECT_EQ(settings::style, "wave ");
}

TEST_P(RefreshPrefsTest, WrongTypesReadByThePlatformRulesOrCountAsAbsent) {
  write({{"enabled", std::string("YES")}, {"style", std::int64_t{5}}, {"homeBarOpacity", std::string(" 0.5xyz")},
         {"fadeColor1", std::int64_t{7}}, {"waveAnimationSpeed", 1e300}, {"breathingSpeed", std::string("-1e999")}});
  settings::refreshPrefs();
  EXPECT_TRUE(settings::enabled);
  EXPECT_EQ(settings::style, "5");
  EXPECT_EQ(settings::homeBarOpacity, 0.5);
  EXPECT_EQ(settings::firstColor->components(), kFade1Fallback);
  EXPECT_EQ(settings::waveSpeed, std::numeric_limits<double>::infinity());  // saturated, not undefined
  EXPECT_EQ(settings::breathingSpeed, -std::numeric_limits<double>::infinity());
}

// Arrays are read the same from either format; the settings pane never writes one.
TEST(RefreshPrefsArrayTest, ArraysCountAsAbsent) {
  TempDeviceRoot root;
  settings::assignInitialValues();
  root.write(settings::kPreferencesPath, R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>fadeSpeed</key><array><string>1</string></array>
  <key>waveDirection</key><array><string>r2l</string></array>
  <key>fadeColor1</key><array><string>#00FF00</string></array>
</dict></plist>)");
  settings::refreshPrefs();
  EXPECT_EQ(settings::fadeSpeed, 10.0);       // an array is no number: kept
  EXPECT_EQ(settings::waveDirection, "l2r");  // nor a string
  EXPECT_EQ(settings::firstColor->components(), kFade1Fallback);
}

TEST_P(RefreshPrefsTest, CorruptFilesReadAsNoFile) {
  write({{"enabled", true}, {"style", std::string("Static")}});
  settings::refreshPrefs();
  const std::string good = preferencesBytes({{"enabled", false}, {"fadeColor1", std::string("#000000")}}, GetParam());
  for (std::string bytes : {good.substr(0, good.size() / 2), std::string("\0\xff garbage", 10), std::string(),
                            std::string(2 << 20, '<')}) {
    writeBytes(bytes);
    settings::refreshPrefs();
    EXPECT_TRUE(settings::enabled);
    EXPECT_EQ(settings::style, "Static");
    expectFallbackColours();
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RefreshPrefsTest, ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) { return info.param == PlistFormat::Xml ? "Xml" : "Binary"; });

}  // namespace
