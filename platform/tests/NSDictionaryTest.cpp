// Property-list dictionaries: reading XML and binary files, the value-reading
// rules, and files that must read as no dictionary without harming the process.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include <plist/plist.h>
#include <sys/stat.h>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"

namespace {

using aurora::testing::TempDeviceRoot;

constexpr const char* kPrefsPath = "/var/mobile/Library/Preferences/test.plist";

std::string xmlDict(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body + "</dict>\n</plist>\n";
}

std::shared_ptr<const NSDictionary> readXml(const std::string& body) { return NSDictionary::fromBytes(xmlDict(body)); }

// The same document, converted to a binary plist by libplist's own writer.
std::string toBinary(const std::string& xml) {
  plist_t root = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &root);
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  std::string binary(bytes, length);
  std::free(bytes);
  plist_free(root);
  return binary;
}

// A hand-made binary plist: each object is its marker bytes; references and
// offsets are 4 bytes wide; the top object is object 0.
std::string binaryPlist(const std::vector<std::string>& objects) {
  std::string out = "bplist00";
  std::vector<std::uint32_t> offsets;
  for (const std::string& object : objects) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    out += object;
  }
  const std::uint64_t table = out.size();
  auto bigEndian = [&](std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  for (std::uint32_t offset : offsets) bigEndian(offset, 4);
  out += std::string(6, '\0');
  out += '\x04';
  out += '\x04';
  bigEndian(objects.size(), 8);
  bigEndian(0, 8);
  bigEndian(table, 8);
  return out;
}

// An array object (marker 0xA_) holding references to `children`.
std::string arrayObject(const std::vector<std::uint32_t>& children) {
  std::string object(1, static_cast<char>(0xA0 | children.size()));
  for (std::uint32_t child : children) {
    for (int i = 3; i >= 0; --i) object += static_cast<char>((child >> (8 * i)) & 0xFF);
  }
  return object;
}

const std::string kMixedBody =
    "<key>enabled</key><true/>\n"
    "<key>style</key><string>Fade</string>\n"
    "<key>speed</key><real>0.2</real>\n"
    "<key>count</key><integer>-42</integer>\n"
    "<key>bundles</key><array><string>a</string><string>b</string></array>\n"
    "<key>nested</key><dict><key>inner</key><string>x</string></dict>\n"
    "<key>when</key><date>2024-01-02T03:04:05Z</date>\n"
    "<key>blob</key><data>AAEC</data>\n";

TEST(NSDictionaryFormats, XmlAndBinaryReadTheSameValues) {
  for (const std::string& bytes : {xmlDict(kMixedBody), toBinary(xmlDict(kMixedBody))}) {
    auto dict = NSDictionary::fromBytes(bytes);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->count(), 8u);
    EXPECT_EQ(dict->boolValue("enabled"), true);
    EXPECT_EQ(dict->stringValue("style"), "Fade");
    EXPECT_EQ(dict->doubleValue("speed"), 0.2);
    EXPECT_EQ(dict->integerValue("count"), -42);
    EXPECT_EQ(dict->stringArray("bundles"), (std::vector<std::string>{"a", "b"}));
    ASSERT_NE(dict->dictionaryValue("nested"), nullptr);
    EXPECT_EQ(dict->dictionaryValue("nested")->stringValue("inner"), "x");
    const auto* blob = std::get_if<PropertyListData>(&dict->objectForKey("blob")->storage);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->bytes, (std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_TRUE(std::holds_alternative<PropertyListDate>(dict->objectForKey("when")->storage));
  }
}

TEST(NSDictionaryReading, BoolOfStringsFollowsThePlatformRule) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"YES", true},   {"yes", true},     {"true", true},  {"T", true},    {"1", true},      {"9 lives", true},
      {"  +0001", true}, {"-5", true},    {"\t\n y", true}, {"NO", false},  {"false", false}, {"0", false},
      {"", false},     {"  -000", false}, {"0x1", false},  {"abc", false}, {"\xC3\xBF" "es", false}, {"+", false},
  };
  for (const auto& [text, expected] : cases) {
    auto dict = readXml("<key>k</key><string>" + text + "</string>\n");
    ASSERT_NE(dict, nullptr) << text;
    EXPECT_EQ(dict->boolValue("k"), expected) << '"' << text << '"';
  }
}

TEST(NSDictionaryReading, BoolOfNumbersIsNonZero) {
  auto dict = readXml(
      "<key>zero</key><integer>0</integer><key>two</key><integer>2</integer><key>minus</key><integer>-1</integer>"
      "<key>real0</key><real>0.0</real><key>tiny</key><real>1e-300</real><key>nan</key><real>nan</real>"
      "<key>no</key><false/>\n");
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->boolValue("zero"), false);
  EXPECT_EQ(dict->boolValue("two"), true);
  EXPECT_EQ(dict->boolValue("minus"), true);
  EXPECT_EQ(dict->boolValue("real0"), false);
  EXPECT_EQ(dict->boolValue("tiny"), true);
  EXPECT_EQ(dict->boolValue("nan"), true);
  EXPECT_EQ(dict->boolValue("no"), false);
}

TEST(NSDictionaryReading, StringOfNumbersIsTheirDescription) {
  auto dict = readXml(
      "<key>int</key><integer>42</integer><key>neg</key><integer>-7</integer>"
      "<key>min</key><integer>-9223372036854775808</integer>"
      "<key>tenth</key><real>0.1</real><key>third</key><real>0.33333333333333331</real>"
      "<key>huge</key><real>1e300</real><key>whole</key><real>3.0</real>"
      "<key>yes</key><true/><key>no</key><false/>"
      "<key>text</key><string>Gr\xC3\xBCn \xE2\x9C\x93</string>\n");
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->stringValue("int"), "42");
  EXPECT_EQ(dict->stringValue("neg"), "-7");
  EXPECT_EQ(dict->stringValue("min"), "-9223372036854775808");
  EXPECT_EQ(dict->stringValue("tenth"), "0.1");
  EXPECT_EQ(dict->stringValue("third"), "0.3333333333333333");
  EXPECT_EQ(dict->stringValue("huge"), "1e+300");
  EXPECT_EQ(dict->stringValue("whole"), "3");
  EXPECT_EQ(dict->stringValue("yes"), "1");
  EXPECT_EQ(dict->stringValue("no"), "0");
  EXPECT_EQ(dict->stringValue("text"), "Gr\xC3\xBCn \xE2\x9C\x93");
}

TEST(NSDictionaryReading, DoubleOfStringsReadsTheLongestDecimalPrefix) {
  const std::vector<std::pair<std::string, double>> cases = {
      {" 12.5abc", 12.5}, {"\t-3e2x", -300.0}, {"1e", 1.0},   {"2e+", 2.0},  {".5", 0.5},    {"5.", 5.0},
      {"abc", 0.0},       {"", 0.0},           {"0x10", 0.0}, {"1,5", 1.0},  {"inf", 0.0},   {"nan", 0.0},
      {"-.25e1", -2.5},   {"+7", 7.0},         {"- 1", 0.0},  {"1e-400", 0.0},
  };
  for (const auto& [text, expected] : cases) {
    auto dict = readXml("<key>k</key><string>" + text + "</string>\n");
    ASSERT_NE(dict, nullptr) << text;
    EXPECT_EQ(dict->doubleValue("k"), expected) << '"' << text << '"';
  }
}

TEST(NSDictionaryReading, DoubleOverflowGivesInfinity) {
  auto dict = readXml("<key>big</key><string>1e400</string><key>small</key><string>-1e400</string>"
                      "<key>digits</key><string>1" + std::string(400, '0') + "</string>\n");
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->doubleValue("big"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(dict->doubleValue("small"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(dict->doubleValue("digits"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(dict->floatValue("digits"), std::numeric_limits<float>::infinity());
}

TEST(NSDictionaryReading, FloatNarrowingSaturatesAndKeepsNaN) {
  auto dict = readXml(
      "<key>big</key><real>1e300</real><key>negbig</key><real>-1e300</real>"
      "<key>max</key><real>3.4028234663852886e38</real><key>justAbove</key><real>3.4028235e38</real>"
      "<key>pastHalfUlp</key><real>3.4028236e38</real><key>nan</key><real>nan</real>"
      "<key>tenth</key><real>0.1</real><key>tiny</key><real>1e-50</real><key>str</key><string>1e39</string>\n");
  ASSERT_NE(dict, nullptr);
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(dict->floatValue("big"), inf);
  EXPECT_EQ(dict->floatValue("negbig"), -inf);
  EXPECT_EQ(dict->floatValue("max"), FLT_MAX);
  EXPECT_EQ(dict->floatValue("justAbove"), FLT_MAX);  // rounds to FLT_MAX, as IEEE does
  EXPECT_EQ(dict->floatValue("pastHalfUlp"), inf);
  ASSERT_TRUE(dict->floatValue("nan").has_value());
  EXPECT_TRUE(std::isnan(*dict->floatValue("nan")));
  EXPECT_EQ(dict->floatValue("tenth"), 0.1f);
  EXPECT_EQ(static_cast<double>(*dict->floatValue("tenth")), 0.10000000149011612);
  EXPECT_EQ(dict->floatValue("tiny"), 0.0f);
  EXPECT_EQ(dict->floatValue("str"), inf);
}

TEST(NSDictionaryReading, IntegersAreSigned64BitAndSaturate) {
  auto dict = readXml(
      "<key>s1</key><string>  -12abc</string><key>s2</key><string>99999999999999999999</string>"
      "<key>s3</key><string>-99999999999999999999</string><key>s4</key><string>9223372036854775807</string>"
      "<key>s5</key><string>-9223372036854775808</string><key>s6</key><string>9223372036854775808</string>"
      "<key>r1</key><real>2.9</real><key>r2</key><real>-2.9</real><key>r3</key><real>1e300</real>"
      "<key>r4</key><real>-1e300</real><key>r5</key><real>nan</real><key>b</key><true/>\n");
  ASSERT_NE(dict, nullptr);
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(dict->integerValue("s1"), -12);
  EXPECT_EQ(dict->integerValue("s2"), kMax);
  EXPECT_EQ(dict->integerValue("s3"), kMin);
  EXPECT_EQ(dict->integerValue("s4"), kMax);
  EXPECT_EQ(dict->integerValue("s5"), kMin);
  EXPECT_EQ(dict->integerValue("s6"), kMax);
  EXPECT_EQ(dict->integerValue("r1"), 2);
  EXPECT_EQ(dict->integerValue("r2"), -2);
  EXPECT_EQ(dict->integerValue("r3"), kMax);
  EXPECT_EQ(dict->integerValue("r4"), kMin);
  EXPECT_EQ(dict->integerValue("r5"), 0);
  EXPECT_EQ(dict->integerValue("b"), 1);
}

TEST(NSDictionaryReading, UnsignedAboveInt64MaxKeepsItsValueInXmlAndBinary) {
  const std::string xml = xmlDict("<key>u</key><integer>18446744073709551615</integer><key>m</key><integer>-1</integer>\n");
  for (const std::string& bytes : {xml, toBinary(xml)}) {
    auto dict = NSDictionary::fromBytes(bytes);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->stringValue("u"), "18446744073709551615");
    EXPECT_EQ(dict->integerValue("u"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(dict->doubleValue("u"), 18446744073709551615.0);
    EXPECT_EQ(dict->boolValue("u"), true);
    EXPECT_EQ(dict->stringValue("m"), "-1");
    EXPECT_EQ(dict->integerValue("m"), -1);
  }
}

TEST(NSDictionaryReading, MissingKeysAndOtherTypesReadAsAbsent) {
  auto dict = NSDictionary::fromBytes(xmlDict(kMixedBody));
  ASSERT_NE(dict, nullptr);
  EXPECT_TRUE(dict->containsKey("when"));
  EXPECT_FALSE(dict->containsKey("absent"));
  for (const char* key : {"absent", "when", "blob", "bundles", "nested"}) {
    EXPECT_EQ(dict->boolValue(key), std::nullopt) << key;
    EXPECT_EQ(dict->stringValue(key), std::nullopt) << key;
    EXPECT_EQ(dict->floatValue(key), std::nullopt) << key;
    EXPECT_EQ(dict->doubleValue(key), std::nullopt) << key;
    EXPECT_EQ(dict->integerValue(key), std::nullopt) << key;
  }
  EXPECT_EQ(dict->stringArray("style"), std::nullopt);
  EXPECT_EQ(dict->dictionaryValue("style"), nullptr);
  EXPECT_EQ(dict->stringArray("absent"), std::nullopt);
  EXPECT_EQ(dict->dictionaryValue("absent"), nullptr);
  auto mixed = readXml("<key>a</key><array><string>x</string><integer>1</integer></array>\n");
  ASSERT_NE(mixed, nullptr);
  EXPECT_EQ(mixed->stringArray("a"), std::nullopt);
}

class NSDictionaryFiles : public aurora::testing::VirtualLoopTest {
 protected:
  TempDeviceRoot root_;
};

TEST_F(NSDictionaryFiles, TracedReadResolvesUnderTheRootAndReportsTheDevicePath) {
  struct Reads : aurora::PlatformObserver {
    std::vector<std::pair<std::string, bool>> seen;
    void dictionaryRead(std::string_view path, bool ok) override { seen.emplace_back(path, ok); }
  } reads;
  aurora::setPlatformObserver(&reads);
  root_.write(kPrefsPath, xmlDict("<key>style</key><string>Wave</string>\n"));

  auto dict = NSDictionary::dictionaryWithContentsOfFile(kPrefsPath);
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->stringValue("style"), "Wave");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/var/mobile/missing.plist"), nullptr);
  EXPECT_NE(NSDictionary::fromFile(aurora::hostPath(kPrefsPath)), nullptr);  // untraced

  EXPECT_EQ(reads.seen, (std::vector<std::pair<std::string, bool>>{{kPrefsPath, true}, {"/var/mobile/missing.plist", false}}));
}

TEST_F(NSDictionaryFiles, BadFilesReadAsNoDictionary) {
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/nowhere.plist"), nullptr);
  root_.write("/dir/inside", "");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/dir"), nullptr);
  const auto fifo = aurora::hostPath("/fifo.plist");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/fifo.plist"), nullptr);  // does not block

  const std::vector<std::pair<std::string, std::string>> files = {
      {"/empty.plist", ""},
      {"/garbage.plist", "\x01\x02 not a plist \xFF"},
      {"/array.plist", "<plist version=\"1.0\"><array><string>a</string></array></plist>"},
      {"/string.plist", "<plist version=\"1.0\"><string>a</string></plist>"},
      {"/truncated.plist", xmlDict(kMixedBody).substr(0, 120)},
      {"/truncated-binary.plist", toBinary(xmlDict(kMixedBody)).substr(0, 60)},
      {"/header-only.plist", "bplist00"},
  };
  for (const auto& [path, bytes] : files) {
    root_.write(path, bytes);
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(path), nullptr) << path;
  }
}

TEST_F(NSDictionaryFiles, OneMebibyteIsTheLimit) {
  const std::string body = "<key>k</key><string>v</string>\n";
  const std::string shell = xmlDict(body);
  // White space before the closing tag pads a valid file to an exact size.
  auto padded = [&](std::size_t size) {
    std::string file = shell;
    file.insert(file.size() - std::string("</plist>\n").size(), std::string(size - shell.size(), ' '));
    return file;
  };
  root_.write("/exact.plist", padded(NSDictionary::kMaxFileSize));
  root_.write("/over.plist", padded(NSDictionary::kMaxFileSize + 1));
  EXPECT_NE(NSDictionary::dictionaryWithContentsOfFile("/exact.plist"), nullptr);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/over.plist"), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(padded(NSDictionary::kMaxFileSize + 1)), nullptr);
}

TEST(NSDictionaryHostileInput, DeepBinaryNestingIsRefusedWithoutOverflowingTheStack) {
  // 100000 arrays, each holding the next: well under 1 MiB.
  constexpr std::uint32_t kDepth = 100000;
  std::vector<std::string> objects;
  objects.push_back("\xD1" + std::string("\x00\x00\x00\x01\x00\x00\x00\x02", 8));  // {key: array}
  objects.push_back("\x51k");
  for (std::uint32_t i = 2; i < kDepth; ++i) objects.push_back(arrayObject({i + 1}));
  objects.push_back(arrayObject({}));
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist(objects)), nullptr);
}

TEST(NSDictionaryHostileInput, SharedReferencesCannotExpandWithoutBound) {
  // Each array holds the next one twice: 2^40 values from a few hundred bytes.
  constexpr std::uint32_t kLevels = 40;
  std::vector<std::string> objects;
  objects.push_back("\xD1" + std::string("\x00\x00\x00\x01\x00\x00\x00\x02", 8));
  objects.push_back("\x51k");
  for (std::uint32_t i = 2; i < kLevels; ++i) objects.push_back(arrayObject({i + 1, i + 1}));
  objects.push_back(arrayObject({}));
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist(objects)), nullptr);
}

TEST(NSDictionaryHostileInput, ModestSharingAndNestingStillRead) {
  // A shared string under many keys, and arrays nested 200 deep.
  std::string body;
  for (int i = 0; i < 50; ++i) body += "<key>k" + std::to_string(i) + "</key><string>same</string>";
  std::string nested = "<string>x</string>";
  for (int i = 0; i < 200; ++i) nested = "<array>" + nested + "</array>";
  const std::string xml = xmlDict(body + "<key>deep</key>" + nested + "\n");
  for (const std::string& bytes : {xml, toBinary(xml)}) {
    auto dict = NSDictionary::fromBytes(bytes);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->stringValue("k49"), "same");
  }
}

TEST(NSDictionaryHostileInput, DeepXmlNestingIsRefused) {
  std::string nested;
  for (int i = 0; i < 60000; ++i) nested += "<array>";
  for (int i = 0; i < 60000; ++i) nested += "</array>";
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>deep</key>" + nested + "\n")), nullptr);
}

TEST(NSDictionaryHostileInput, KeysAndStringsHoldingNulAreRefusedNotFatal) {
  // libplist asserts, aborting the process, when it reads a UTF-16 key holding U+0000.
  using namespace std::string_literals;
  const std::string ref1 = "\x00\x00\x00\x01"s;
  const std::string ref2 = "\x00\x00\x00\x02"s;
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({"\xD1" + ref1 + ref2, "\x62\x00\x61\x00\x00"s, "\x51x"})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({"\xD1" + ref1 + ref2, "\x53" "a\0b"s, "\x51x"})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({"\xD1" + ref1 + ref2, "\x51k", "\x61\x00\x00"s})), nullptr);
  EXPECT_NE(NSDictionary::fromBytes(binaryPlist({"\xD1" + ref1 + ref2, "\x51k", "\x61\x00\x41"s})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>a\0b</key><string>x</string>\n"s)), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>k</key><string>a\0b</string>\n"s)), nullptr);
}

TEST(NSDictionaryHostileInput, MutatedFilesNeverHarmTheProcess) {
  // Deterministic mutations of valid XML and binary files: each must parse or
  // be refused, never crash, hang or leak (the sanitizer build checks the latter).
  const std::string xml = xmlDict(kMixedBody);
  const std::vector<std::string> seeds = {xml, toBinary(xml)};
  std::mt19937 random(20240601);
  for (const std::string& seed : seeds) {
    for (int round = 0; round < 3000; ++round) {
      std::string bytes = seed;
      const int edits = 1 + static_cast<int>(random() % 4);
      for (int e = 0; e < edits; ++e) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 3) {
          case 0: bytes[at] = static_cast<char>(random()); break;
          case 1: bytes.erase(at, 1 + random() % 8); break;
          default: bytes.insert(at, 1, static_cast<char>(random())); break;
        }
        if (bytes.empty()) bytes = "x";
      }
      auto dict = NSDictionary::fromBytes(bytes);
      if (dict) (void)dict->stringValue("style");
    }
  }
}

}  // namespace
