// Reading the preferences file into the settings, with files written as XML
// and as binary property lists.
#include <gtest/gtest.h>

#include <limits>

#include "TempDeviceRoot.h"
#include "aurora/PreferencesFile.h"
#include "settings/Settings.h"

namespace {

using aurora::PlistFormat;
using namespace settings;

RGBA hex(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }

class RefreshPrefsTest : public ::testing::TestWithParam<PlistFormat> {
 protected:
  void SetUp() override { assignInitialValues(); }
  void write(const std::vector<aurora::PreferenceEntry>& entries) {
    writeBytes(aurora::preferencesBytes(entries, GetParam()));
  }
  void writeBytes(std::string_view bytes) { root.write(kPreferencesPath, bytes); }
  aurora::testing::TempDeviceRoot root;
};

std::vector<CGFloat> numbers() {
  return {waveSpeed, waveOpacity, specturmSpeed, specturmOpacity, homeBarOpacity, breathingSpeed, fadeSpeed};
}
std::vector<RGBA> colors() {
  return {firstColor->components(), secondColor->components(), breathingColor->components(), staticColor->components()};
}
const std::vector<CGFloat> kInitialNumbers{0.05, 1, 0.1, 1, 1, 10, 10};
const std::vector<RGBA> kFallbacks{hex(246, 36, 89), hex(191, 85, 236), hex(42, 187, 155), hex(246, 36, 89)};

// And a file holding only enabled changes nothing else.
TEST_P(RefreshPrefsTest, NoFileKeepsTheInitialValues) {
  // Set apart from the initial values first, so that each one must be assigned.
  enabled = true;
  style = waveDirection = "?";
  waveSpeed = waveOpacity = specturmSpeed = specturmOpacity = homeBarOpacity = breathingSpeed = fadeSpeed = -5;
  firstColor = secondColor = breathingColor = staticColor = nullptr;
  assignInitialValues();
  EXPECT_EQ(colors(),
            (std::vector<RGBA>{{0, 0, 1, 1}, {1, 0, 0, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}}));  // before the first read
  for (bool withFile : {false, true}) {
    if (withFile) write({{"enabled", true}});
    refreshPrefs();
    EXPECT_EQ(enabled, withFile);
    EXPECT_EQ(style, "Wave");
    EXPECT_EQ(waveDirection, "l2r");
    EXPECT_EQ(numbers(), kInitialNumbers);
    EXPECT_EQ(colors(), kFallbacks);
  }
}

TEST_P(RefreshPrefsTest, EveryKeyIsReadWithNumbersAsWidenedFloats) {
  write({{"enabled", true},
         {"style", std::string("Breathing")},
         {"fadeColor1", std::string("#00ff00")},
         {"fadeColor2", std::string("#123")},
         {"breathingColor", std::string("#FFFFFF:0.75")},
         {"staticColor", std::string("#0000FF")},
         {"waveAnimationSpeed", 0.2},
         {"waveOpacity", 0.5},
         {"specturmAnimationSpeed", std::int64_t{2}},
         {"specturmOpacity", 0.25},
         {"homeBarOpacity", 0.1},
         {"breathingSpeed", 3.5},
         {"fadeSpeed", std::int64_t{7}},
         {"waveDirection", std::string("r2l")},
         {"someOtherKey", std::string("ignored")}});
  refreshPrefs();
  EXPECT_EQ(style, "Breathing");
  EXPECT_EQ(colors(), (std::vector<RGBA>{{0, 1, 0, 1}, hex(0x11, 0x22, 0x33), {1, 1, 1, 0.75}, {0, 0, 1, 1}}));
  // 0.2f widened is 0.20000000298023224.
  EXPECT_EQ(numbers(), (std::vector<CGFloat>{0.2f, 0.5, 2, 0.25, 0.1f, 3.5, 7}));
  EXPECT_EQ(waveDirection, "r2l");
}

// A file deleted or unreadable reads as no file: plain settings kept, colours back to their fallbacks.
TEST_P(RefreshPrefsTest, AFileGoneOrCorruptReadsAsNoFile) {
  const std::string good =
      aurora::preferencesBytes({{"enabled", false}, {"fadeColor1", std::string("#000000")}}, GetParam());
  for (std::string bytes : {std::string("deleted"), good.substr(0, good.size() / 2), std::string("\0\xff garbage", 10),
                            std::string(), std::string(2 << 20, '<')}) {
    write({{"enabled", true},
           {"style", std::string("Fade")},
           {"fadeColor1", std::string("#00FF00")},
           {"fadeSpeed", 2.0}});
    refreshPrefs();
    ASSERT_EQ(firstColor->components(), (RGBA{0, 1, 0, 1}));
    if (bytes == "deleted")
      std::filesystem::remove(aurora::hostPath(kPreferencesPath));
    else
      writeBytes(bytes);
    refreshPrefs();
    EXPECT_TRUE(enabled);
    EXPECT_EQ(style, "Fade");
    EXPECT_EQ(fadeSpeed, 2.0);
    EXPECT_EQ(colors(), kFallbacks);
  }
}

// A colour that is no colour string falls back alone; the static colour shares the first colour's fallback.
TEST_P(RefreshPrefsTest, WrongTypesReadByThePlatformRulesOrCountAsAbsent) {
  write({{"enabled", std::string("YES")},
         {"style", std::int64_t{5}},
         {"homeBarOpacity", std::string(" 0.5xyz")},
         {"fadeColor1", std::string("#010203")},
         {"fadeColor2", std::int64_t{7}},
         {"breathingColor", std::string("purple")},
         {"waveAnimationSpeed", 1e300},
         {"breathingSpeed", std::string("-1e999")}});
  refreshPrefs();
  EXPECT_TRUE(enabled);
  EXPECT_EQ(style, "5");
  EXPECT_EQ(homeBarOpacity, 0.5);
  EXPECT_EQ(colors(), (std::vector<RGBA>{hex(1, 2, 3), kFallbacks[1], kFallbacks[2], kFallbacks[0]}));
  EXPECT_EQ(waveSpeed, std::numeric_limits<double>::infinity());  // saturated, not undefined
  EXPECT_EQ(breathingSpeed, -std::numeric_limits<double>::infinity());
  // Arrays, which the writer has no type for, are no number, string or colour; an unknown style is kept as it is.
  writeBytes(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>style</key><string>wave </string>
  <key>fadeSpeed</key><array><string>1</string></array><key>waveDirection</key><array><string>r2l</string></array>
  <key>fadeColor1</key><array><string>#00FF00</string></array></dict></plist>)");
  refreshPrefs();
  EXPECT_EQ(style, "wave ");
  EXPECT_EQ(fadeSpeed, 10.0);
  EXPECT_EQ(waveDirection, "l2r");
  EXPECT_EQ(colors()[0], kFallbacks[0]);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RefreshPrefsTest, ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) { return info.param == PlistFormat::Xml ? "Xml" : "Binary"; });

}  // namespace
