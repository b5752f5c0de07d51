// Values alone: `write` texts read strictly, which values fit which key, and what `read` prints for each type.
#include <gtest/gtest.h>

#include <cmath>

#include "ValueText.h"
#include "prefs/Describe.h"
#include "prefs/PreferenceKeys.h"

namespace prefs {
namespace {

TEST(PrefsValueText, FlagsAreReadWholeOrNotAtAll) {
  for (const char* yes : {"true", "TRUE", "Yes", "yes", "1"}) EXPECT_EQ(parseFlag(yes), true) << yes;
  for (const char* no : {"false", "False", "NO", "no", "0"}) EXPECT_EQ(parseFlag(no), false) << no;
  for (const char* neither : {"", "y", "2", "on", " true", "true "})
    EXPECT_EQ(parseFlag(neither), std::nullopt) << neither;
}

TEST(PrefsPreferenceKeys, TakesValuesThatFitTheirKeyAsGiven) {
  EXPECT_TRUE(isKnownKey("specturmAnimationSpeed"));
  EXPECT_FALSE(isKnownKey("FadeSpeed"));
  using V = aurora::PreferenceValue;
  const std::vector<std::pair<WriteItem, V>> accepted{
      {{"waveDirection", ValueType::String, "r2l"}, V(std::string("r2l"))},
      {{"homeBarOpacity", ValueType::Int, "1"}, V(std::int64_t{1})},
      {{"fadeSpeed", ValueType::Float, "3"}, V(3.0)},
      {{"mine", ValueType::Int, "-4"}, V(std::int64_t{-4})}};  // other keys: any type
  for (const auto& [item, value] : accepted)
    EXPECT_EQ(checkedEntry(item), (aurora::PreferenceEntry{item.key, value})) << item.text;
  for (const char* color : {"#F62459", "#abc", "#FFFFFF:0.75", "#000:1"})
    EXPECT_EQ(checkedEntry({"staticColor", ValueType::String, color}).value, V(std::string(color))) << color;
  for (const char* color : {"", "F62459", "#F6245", "#GGGGGG", "#F62459 ", "#F62459:", "#F62459:1e-1", "red"})
    EXPECT_THROW(checkedEntry({"fadeColor2", ValueType::String, color}), RefusedValue) << color;
}

// Numbers as they read back exactly; strings quoted unless plain words; dates, data and references as the defaults tool
// shows them.
TEST(PrefsDescribe, EveryTypeReadsAsTheDefaultsToolShowsIt) {
  using S = PropertyListValue::Storage;
  const std::vector<std::pair<S, std::string>> rows{
      {false, "0"},
      {0.1, "0.1"},
      {10.0, "10"},
      {1e300, "1e+300"},
      {std::nan(""), "nan"},
      {-HUGE_VAL, "-inf"},
      {std::uint64_t{18446744073709551615u}, "18446744073709551615"},
      {std::string("l2r"), "l2r"},
      {std::string("_a.b"), "_a.b"},
      {std::string("1"), "\"1\""},
      {std::string(""), "\"\""},
      {std::string("two words"), "\"two words\""},
      {std::string("caf\xc3\xa9"), "\"caf\xc3\xa9\""},
      {std::string("say \"hi\"\\\n\t\r\x01\x7f"), "\"say \\\"hi\\\"\\\\\\n\\t\\r\\001\\177\""},
      {PropertyListDate{599627045.0}, "\"2020-01-02 03:04:05 +0000\""},
      {PropertyListDate{-0.5}, "\"2000-12-31 23:59:59 +0000\""},
      {PropertyListDate{1e300}, "\"1e+300 s after 2001-01-01\""},
      {PropertyListDate{std::nan("")}, "\"nan s after 2001-01-01\""},
      {PropertyListData{{0x00, 0x1f, 0xff}}, "{length = 3, bytes = 0x001fff}"},
      {PropertyListUID{7}, "{value = 7}"},
      {std::make_shared<const NSDictionary>(NSDictionary::Entries{}), "{\n}"}};
  for (const auto& [storage, text] : rows) EXPECT_EQ(describe(PropertyListValue{storage}), text) << text;
}

}  // namespace
}  // namespace prefs
