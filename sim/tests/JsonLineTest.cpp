// Trace lines: shortest numbers, null for non-finite ones, escaped strings.
#include "JsonLine.h"

#include <cstdlib>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace sim {
namespace {

using Json = nlohmann::ordered_json;

TEST(JsonLine, NumbersPrintShortest) {
  EXPECT_EQ(jsonNumber(0.1), "0.1");
  EXPECT_EQ(jsonNumber(2.5), "2.5");
  EXPECT_EQ(jsonNumber(5.0), "5");  // integral doubles print as integers
  EXPECT_EQ(jsonNumber(0.0), "0");
  EXPECT_EQ(jsonNumber(-0.0), "-0");
  EXPECT_EQ(jsonNumber(1e21), "1e+21");
  EXPECT_EQ(jsonNumber(5e-324), "5e-324");
  EXPECT_EQ(jsonNumber(0.10000000149011612), "0.10000000149011612");  // a float widened
  // nlohmann's own printer gives 60.108618238969314 here: one digit too many.
  EXPECT_EQ(jsonNumber(60.10861823896931), "60.10861823896931");
  EXPECT_EQ(Json(60.10861823896931).dump(), "60.108618238969314");
}

TEST(JsonLine, NumbersReadBackExactly) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(-1000, 1000);
  for (int i = 0; i < 10000; ++i) {
    const double value = spread(random);
    EXPECT_EQ(std::strtod(jsonNumber(value).c_str(), nullptr), value);
  }
}

TEST(JsonLine, NonFiniteNumbersPrintAsNull) {
  EXPECT_EQ(jsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(jsonNumber(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(jsonNumber(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(jsonLine(Json::array({1.5, std::numeric_limits<double>::quiet_NaN()})), "[1.5,null]");
}

TEST(JsonLine, ObjectsKeepTheirOrderAndValues) {
  Json line = {{"t", 0.25}, {"ev", "set"}};
  line["value"] = Json::array({0.5, 1.0, 0.0, 1.0});
  line["count"] = 2;
  line["ok"] = false;
  line["none"] = nullptr;
  EXPECT_EQ(jsonLine(line), R"({"t":0.25,"ev":"set","value":[0.5,1,0,1],"count":2,"ok":false,"none":null})");
  EXPECT_EQ(jsonLine(Json::object()), "{}");
  EXPECT_EQ(jsonLine(Json::array()), "[]");
}

TEST(JsonLine, StringsAreEscapedAndBadUtf8IsReplaced) {
  EXPECT_EQ(jsonLine(Json{{"name", "a\"b\\c\nd"}}), R"({"name":"a\"b\\c\nd"})");
  EXPECT_EQ(jsonLine(Json{{"name", "caf\xc3\xa9"}}), "{\"name\":\"caf\xc3\xa9\"}");
  EXPECT_EQ(jsonLine(Json{{"name", "bad\xff"}}), "{\"name\":\"bad\xef\xbf\xbd\"}");
}

}  // namespace
}  // namespace sim
