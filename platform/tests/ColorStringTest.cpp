// Colour strings: the accepted forms, their components, and everything that
// must fall back.
#include <gtest/gtest.h>

#include <string>

#include "libcolorpicker.h"

namespace {

RGBA parse(std::string_view text, std::string_view fallback = "#000000") {
  return LCPParseColorString(text, fallback)->components();
}

TEST(ColorStringForms, HexDigitsInEitherCase) {
  EXPECT_EQ(parse("#F62459"), (RGBA{246 / 255.0, 36 / 255.0, 89 / 255.0, 1}));
  EXPECT_EQ(parse("#bf55ec"), (RGBA{191 / 255.0, 85 / 255.0, 236 / 255.0, 1}));
  EXPECT_EQ(parse("#2aBB9b"), (RGBA{42 / 255.0, 187 / 255.0, 155 / 255.0, 1}));
  EXPECT_EQ(parse("#000000", "#FFFFFF"), (RGBA{0, 0, 0, 1}));
}

TEST(ColorStringForms, ThreeDigitsRepeatEachDigit) {
  EXPECT_EQ(parse("#F0a"), (RGBA{1, 0, 170 / 255.0, 1}));
  EXPECT_EQ(parse("#123"), parse("#112233"));
}

TEST(ColorStringForms, AlphaSuffixIsAPlainDecimalClampedToUnitRange) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"#FFFFFF:0.75", 0.75}, {"#FFFFFF:1", 1.0},  {"#FFFFFF:0", 0.0},    {"#FFFFFF:.5", 0.5},
      {"#FFFFFF:5.", 1.0},    {"#FFFFFF:2", 1.0},  {"#FFFFFF:-0.5", 0.0}, {"#FFFFFF:+0.25", 0.25},
      {"#ABC:0.5", 0.5},      {"#FFFFFF:0.001", 0.001},
      {"#FFFFFF:0." + std::string(400, '0') + "1", 0.0}, {"#FFFFFF:1" + std::string(400, '0'), 1.0},
  };
  for (const auto& [text, alpha] : cases) {
    const RGBA color = parse(text, "#000000:0.125");
    EXPECT_EQ(color.alpha, alpha) << text;
    EXPECT_EQ(color.red, text.rfind("#ABC", 0) == 0 ? 170 / 255.0 : 1.0) << text;
  }
}

TEST(ColorStringRejects, MalformedStringsGiveTheFallback) {
  const RGBA fallback{42 / 255.0, 187 / 255.0, 155 / 255.0, 1};
  for (const std::string text : {"", "#", "F62459", "#F6245", "#F624599", "#GG0000", "#F62459 ", " #F62459", "#F62459:",
                                 "#F62459:abc", "#F62459:1e-1", "#F62459:nan", "#F62459:inf", "#F62459:0.5.5", "#F62459:0.5x",
                                 "#F62459::0.5", "#F62459: 0.5", "#F62459:.", "#F62459:-", "##F62459", "#-12345",
                                 "#\xC3\xBF\xC3\xBF\xC3", "rgb(1,2,3)", "#1234"}) {
    EXPECT_EQ(parse(text, "#2ABB9B"), fallback) << '"' << text << '"';
  }
  EXPECT_EQ(parse(std::string("#F6\0" "459", 7), "#2ABB9B"), fallback);  // an embedded NUL
}

TEST(ColorStringRejects, FallbackAlphaIsHonouredAndAMalformedFallbackGivesOpaqueBlack) {
  EXPECT_EQ(parse("bad", "#FFFFFF:0.5"), (RGBA{1, 1, 1, 0.5}));
  EXPECT_EQ(parse("bad", "also bad"), (RGBA{0, 0, 0, 1}));
  EXPECT_EQ(parse("", ""), (RGBA{0, 0, 0, 1}));
}

TEST(ColorStringRejects, ReadsOnlyTheViewItIsGiven) {
  const std::string buffer = "#FFFFFF:0.5junk";
  EXPECT_EQ(parse(std::string_view(buffer).substr(0, 7), "#000000"), (RGBA{1, 1, 1, 1}));
  EXPECT_EQ(parse(std::string_view(buffer).substr(0, 11), "#000000"), (RGBA{1, 1, 1, 0.5}));
  EXPECT_EQ(parse(std::string_view(buffer).substr(0, 4), "#000000"), (RGBA{1, 1, 1, 1}));  // "#FFF"
}

}  // namespace
