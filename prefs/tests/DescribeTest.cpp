// The readable form `read` prints: layout, numbers, quoting and the types the
// pane never writes but may find in a file.
#include "Describe.h"

#include <gtest/gtest.h>

#include <cmath>

namespace prefs {
namespace {

std::string describeXml(const std::string& body) {
  const auto dictionary = NSDictionary::fromBytes(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)" +
                                                  body + "</dict></plist>");
  return dictionary ? describe(*dictionary) : "(not a dictionary)";
}

std::string describeValue(PropertyListValue::Storage storage) { return describe(PropertyListValue{std::move(storage)}); }

TEST(PrefsDescribe, ADictionaryIsOneSortedKeyALine) {
  EXPECT_EQ(describeXml("<key>style</key><string>Wave</string><key>enabled</key><true/>"
                        "<key>fadeColor1</key><string>#F62459</string><key>homeBarOpacity</key><real>0.5</real>"
                        "<key>fadeSpeed</key><integer>-3</integer>"),
            "{\n"
            "    enabled = 1;\n"
            "    fadeColor1 = \"#F62459\";\n"
            "    fadeSpeed = -3;\n"
            "    homeBarOpacity = 0.5;\n"
            "    style = Wave;\n"
            "}");
  EXPECT_EQ(describeXml(""), "{\n}");
}

TEST(PrefsDescribe, NumbersReadBackExactly) {
  EXPECT_EQ(describeValue(false), "0");
  EXPECT_EQ(describeValue(0.1), "0.1");
  EXPECT_EQ(describeValue(10.0), "10");
  EXPECT_EQ(describeValue(1e300), "1e+300");
  EXPECT_EQ(describeValue(std::nan("")), "nan");
  EXPECT_EQ(describeValue(-HUGE_VAL), "-inf");
  EXPECT_EQ(describeValue(std::uint64_t{18446744073709551615u}), "18446744073709551615");
}

TEST(PrefsDescribe, StringsAreQuotedUnlessTheyArePlainWords) {
  EXPECT_EQ(describeValue(std::string("l2r")), "l2r");
  EXPECT_EQ(describeValue(std::string("_a.b")), "_a.b");
  EXPECT_EQ(describeValue(std::string("1")), "\"1\"");  // not to be taken for a number
  EXPECT_EQ(describeValue(std::string("")), "\"\"");
  EXPECT_EQ(describeValue(std::string("two words")), "\"two words\"");
  EXPECT_EQ(describeValue(std::string("say \"hi\"\\\n\t\r\x01\x7f")), "\"say \\\"hi\\\"\\\\\\n\\t\\r\\001\\177\"");
  EXPECT_EQ(describeValue(std::string("caf\xc3\xa9")), "\"caf\xc3\xa9\"");
  EXPECT_EQ(describeXml("<key>odd key</key><true/>"), "{\n    \"odd key\" = 1;\n}");
}

TEST(PrefsDescribe, ArraysAndNestedDictionariesAreIndented) {
  EXPECT_EQ(describeXml("<key>list</key><array><string>a</string><array/><dict><key>k</key><integer>1</integer></dict></array>"),
            "{\n"
            "    list = (\n"
            "        a,\n"
            "        (\n"
            "        ),\n"
            "        {\n"
            "            k = 1;\n"
            "        }\n"
            "    );\n"
            "}");
}

TEST(PrefsDescribe, DatesDataAndReferencesAsTheDefaultsToolShowsThem) {
  EXPECT_EQ(describeValue(PropertyListDate{599627045.0}), "\"2020-01-02 03:04:05 +0000\"");
  EXPECT_EQ(describeValue(PropertyListDate{-0.5}), "\"2000-12-31 23:59:59 +0000\"");
  EXPECT_EQ(describeValue(PropertyListDate{1e300}), "\"1e+300 s after 2001-01-01\"");
  EXPECT_EQ(describeValue(PropertyListDate{std::nan("")}), "\"nan s after 2001-01-01\"");
  EXPECT_EQ(describeValue(PropertyListData{{0x00, 0x1f, 0xff}}), "{length = 3, bytes = 0x001fff}");
  EXPECT_EQ(describeValue(PropertyListUID{7}), "{value = 7}");
}

}  // namespace
}  // namespace prefs
