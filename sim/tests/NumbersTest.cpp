// The strict number readers and the --set value guess.
#include "Numbers.h"
#include "PrefValue.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace sim {
namespace {

using aurora::Nanoseconds;

TEST(Numbers, SecondsAreExactDecimalNanoseconds) {
  EXPECT_EQ(parseSeconds("0"), Nanoseconds{0});
  EXPECT_EQ(parseSeconds("2"), Nanoseconds{2'000'000'000});
  EXPECT_EQ(parseSeconds("0.1"), Nanoseconds{100'000'000});
  EXPECT_EQ(parseSeconds(".5"), Nanoseconds{500'000'000});
  EXPECT_EQ(parseSeconds("3."), Nanoseconds{3'000'000'000});
  EXPECT_EQ(parseSeconds("1.000000001"), Nanoseconds{1'000'000'001});
  EXPECT_EQ(parseSeconds("0.0000000015"), Nanoseconds{2});  // the tenth digit rounds
  EXPECT_EQ(parseSeconds("0.0000000014"), Nanoseconds{1});
  EXPECT_EQ(parseSeconds("9223372036"), Nanoseconds{9'223'372'036'000'000'000});
}

TEST(Numbers, SecondsRefuseEverythingElse) {
  for (const char* text : {"", ".", "-1", "+1", "1e3", "nan", "inf", " 1", "1 ", "1.2.3", "0x10", "9223372037"}) {
    EXPECT_FALSE(parseSeconds(text)) << text;
  }
}

TEST(Numbers, Integers) {
  EXPECT_EQ(parseInteger("42"), 42);
  EXPECT_EQ(parseInteger("-7"), -7);
  EXPECT_EQ(parseInteger("+7"), 7);
  EXPECT_EQ(parseInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  for (const char* text : {"", "+", "-", "+-1", "1.0", "1e2", "0x1", " 1", "9223372036854775808", "12a"}) {
    EXPECT_FALSE(parseInteger(text)) << text;
  }
}

TEST(Numbers, RealsAreWhatStrtodReadsInFull) {
  EXPECT_EQ(parseReal("0.25"), 0.25);
  EXPECT_EQ(parseReal("-1e3"), -1000.0);
  EXPECT_EQ(parseReal("inf"), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(*parseReal("nan")));
  for (const char* text : {"", " 1", "1 ", "1x", "."}) EXPECT_FALSE(parseReal(text)) << text;
}

TEST(Numbers, DecimalRealsExcludeNanInfAndHex) {
  EXPECT_EQ(parseDecimalReal("1.5"), 1.5);
  EXPECT_EQ(parseDecimalReal("-.5"), -0.5);
  EXPECT_EQ(parseDecimalReal("3e-2"), 0.03);
  for (const char* text : {"nan", "inf", "0x10", "1e", ".", "-", "1.5f"}) EXPECT_FALSE(parseDecimalReal(text)) << text;
}

TEST(PrefValue, SetValuesAreTypedSensibly) {
  EXPECT_EQ(inferPrefValue("true"), PrefValue(true));
  EXPECT_EQ(inferPrefValue("false"), PrefValue(false));
  EXPECT_EQ(inferPrefValue("10"), PrefValue(std::int64_t{10}));
  EXPECT_EQ(inferPrefValue("0.5"), PrefValue(0.5));
  EXPECT_EQ(inferPrefValue("#FF0000"), PrefValue(std::string("#FF0000")));
  EXPECT_EQ(inferPrefValue("True"), PrefValue(std::string("True")));
  EXPECT_EQ(inferPrefValue("nan"), PrefValue(std::string("nan")));
  EXPECT_EQ(inferPrefValue(""), PrefValue(std::string()));
}

}  // namespace
}  // namespace sim
