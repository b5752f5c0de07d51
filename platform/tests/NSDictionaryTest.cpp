// Property-list dictionaries: reading XML and binary files, the value-reading
// rules, and files that must read as no dictionary without harming the process.
#include <cfloat>
#include <cmath>

#include <plist/plist.h>
#include <sys/stat.h>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"

namespace {

using namespace std::string_literals;
constexpr auto kInf = std::numeric_limits<double>::infinity();
constexpr auto kMax = std::numeric_limits<std::int64_t>::max(), kMin = std::numeric_limits<std::int64_t>::min();

std::string xmlDict(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body + "</dict>\n</plist>\n";
}
std::string str(const std::string& text) { return "<string>" + text + "</string>"; }

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

std::string bigEndian(std::uint64_t value, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}
// A hand-made binary plist: each object is its marker bytes; references and
// offsets are 4 bytes wide; the top object is object 0.
std::string binaryPlist(const std::vector<std::string>& objects) {
  std::string out = "bplist00", table;
  for (const std::string& object : objects) {
    table += bigEndian(out.size(), 4);
    out += object;
  }
  return out + table + std::string(6, '\0') + "\x04\x04" + bigEndian(objects.size(), 8) + bigEndian(0, 8) + bigEndian(out.size(), 8);
}
// An array object (marker 0xA_) holding references to `children`.
std::string arrayObject(const std::vector<std::uint32_t>& children) {
  std::string object(1, static_cast<char>(0xA0 | children.size()));
  for (std::uint32_t child : children) object += bigEndian(child, 4);
  return object;
}
const std::string kKeyToArray = "\xD1" "\x00\x00\x00\x01\x00\x00\x00\x02"s;  // {object 1: object 2}
// {"k": an array} and `levels` arrays below it, each holding the next `fanout` times.
std::string arrayChain(std::uint32_t levels, std::size_t fanout) {
  std::vector<std::string> objects = {kKeyToArray, "\x51k"};
  for (std::uint32_t i = 2; i < levels; ++i) objects.push_back(arrayObject(std::vector<std::uint32_t>(fanout, i + 1)));
  objects.push_back(arrayObject({}));
  return binaryPlist(objects);
}

const std::string kMixedBody =
    "<key>enabled</key><true/>\n<key>style</key><string>Fade</string>\n<key>speed</key><real>0.2</real>\n"
    "<key>count</key><integer>-42</integer>\n<key>bundles</key><array><string>a</string><string>b</string></array>\n"
    "<key>nested</key><dict><key>inner</key><string>x</string></dict>\n<key>when</key><date>2024-01-02T03:04:05Z</date>\n"
    "<key>blob</key><data>AAEC</data>\n";

// Each row: the value element under key "k", and what one getter reads from it.
template <class T, class Get>
void expectReads(const std::vector<std::pair<std::string, T>>& rows, Get get) {
  for (const auto& [element, expected] : rows) {
    auto dict = NSDictionary::fromBytes(xmlDict("<key>k</key>" + element + "\n"));
    ASSERT_NE(dict, nullptr) << element;
    EXPECT_EQ(get(*dict), expected) << element;
  }
}

TEST(NSDictionaryReading, BoolsStringsAndIntegersFollowThePlatformRules) {
  expectReads<bool>({{str("YES"), true}, {str("yes"), true}, {str("true"), true}, {str("T"), true}, {str("1"), true},
                     {str("9 lives"), true}, {str("  +0001"), true}, {str("-5"), true}, {str("\t\n y"), true},
                     {str("NO"), false}, {str("false"), false}, {str("0"), false}, {str(""), false}, {str("  -000"), false},
                     {str("0x1"), false}, {str("abc"), false}, {str("\xC3\xBF" "es"), false}, {str("+"), false},
                     {"<integer>0</integer>", false}, {"<integer>2</integer>", true}, {"<integer>-1</integer>", true},
                     {"<real>0.0</real>", false}, {"<real>1e-300</real>", true}, {"<real>nan</real>", true},
                     {"<false/>", false}},
                    [](const NSDictionary& d) { return d.boolValue("k"); });
  expectReads<std::string>({{"<integer>42</integer>", "42"}, {"<integer>-7</integer>", "-7"},
                            {"<integer>-9223372036854775808</integer>", "-9223372036854775808"},
                            {"<real>0.1</real>", "0.1"}, {"<real>0.33333333333333331</real>", "0.3333333333333333"},
                            {"<real>1e300</real>", "1e+300"}, {"<real>3.0</real>", "3"}, {"<true/>", "1"}, {"<false/>", "0"},
                            {str("Gr\xC3\xBCn \xE2\x9C\x93"), "Gr\xC3\xBCn \xE2\x9C\x93"}},
                           [](const NSDictionary& d) { return d.stringValue("k"); });
  expectReads<std::int64_t>({{str("  -12abc"), -12}, {str("99999999999999999999"), kMax}, {str("-99999999999999999999"), kMin},
                             {str("9223372036854775807"), kMax}, {str("-9223372036854775808"), kMin},
                             {str("9223372036854775808"), kMax}, {"<real>2.9</real>", 2}, {"<real>-2.9</real>", -2},
                             {"<real>1e300</real>", kMax}, {"<real>-1e300</real>", kMin}, {"<real>nan</real>", 0},
                             {"<true/>", 1}},
                            [](const NSDictionary& d) { return d.integerValue("k"); });
}

TEST(NSDictionaryReading, DoublesReadTheLongestDecimalPrefixAndFloatsSaturate) {
  expectReads<double>({{str(" 12.5abc"), 12.5}, {str("\t-3e2x"), -300.0}, {str("1e"), 1.0}, {str("2e+"), 2.0},
                       {str(".5"), 0.5}, {str("5."), 5.0}, {str("abc"), 0.0}, {str(""), 0.0}, {str("0x10"), 0.0},
                       {str("1,5"), 1.0}, {str("inf"), 0.0}, {str("nan"), 0.0}, {str("-.25e1"), -2.5}, {str("+7"), 7.0},
                       {str("- 1"), 0.0}, {str("1e-400"), 0.0}, {str("1e400"), kInf}, {str("-1e400"), -kInf},
                       {str("1" + std::string(400, '0')), kInf}},
                      [](const NSDictionary& d) { return d.doubleValue("k"); });
  const float inf = std::numeric_limits<float>::infinity();
  expectReads<float>({{str("1" + std::string(400, '0')), inf}, {"<real>1e300</real>", inf}, {"<real>-1e300</real>", -inf},
                      {"<real>3.4028234663852886e38</real>", FLT_MAX},
                      {"<real>3.4028235e38</real>", FLT_MAX},  // rounds to FLT_MAX, as IEEE does
                      {"<real>3.4028236e38</real>", inf}, {"<real>0.1</real>", 0.1f}, {"<real>1e-50</real>", 0.0f},
                      {str("1e39"), inf}},
                     [](const NSDictionary& d) { return d.floatValue("k"); });
  auto dict = NSDictionary::fromBytes(xmlDict("<key>nan</key><real>nan</real><key>tenth</key><real>0.1</real>\n"));
  ASSERT_TRUE(dict && dict->floatValue("nan").has_value());
  EXPECT_TRUE(std::isnan(*dict->floatValue("nan")));
  EXPECT_EQ(static_cast<double>(*dict->floatValue("tenth")), 0.10000000149011612);
}

TEST(NSDictionaryReading, UnsignedAboveInt64MaxKeepsItsValueInXmlAndBinary) {
  const std::string xml = xmlDict("<key>u</key><integer>18446744073709551615</integer><key>m</key><integer>-1</integer>\n");
  for (const std::string& bytes : {xml, toBinary(xml)}) {
    auto dict = NSDictionary::fromBytes(bytes);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(std::tuple(dict->stringValue("u"), dict->integerValue("u"), dict->doubleValue("u"), dict->boolValue("u")),
              std::tuple("18446744073709551615", kMax, 18446744073709551615.0, true));
    EXPECT_EQ(std::tuple(dict->stringValue("m"), dict->integerValue("m")), std::tuple("-1", -1));
  }
}

TEST(NSDictionaryReading, MissingKeysAndOtherTypesReadAsAbsent) {
  auto dict = NSDictionary::fromBytes(xmlDict(kMixedBody + "<key>mixed</key><array><string>x</string><integer>1</integer></array>\n"));
  ASSERT_NE(dict, nullptr);
  EXPECT_TRUE(dict->containsKey("when"));
  EXPECT_FALSE(dict->containsKey("absent"));
  for (const char* key : {"absent", "when", "blob", "bundles", "nested"}) {
    EXPECT_EQ(std::tuple(dict->boolValue(key), dict->stringValue(key), dict->floatValue(key), dict->doubleValue(key),
                         dict->integerValue(key)),
              std::tuple(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)) << key;
  }
  for (const char* key : {"style", "absent", "mixed"}) EXPECT_EQ(dict->stringArray(key), std::nullopt) << key;
  EXPECT_EQ(dict->stringArray("bundles"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(dict->dictionaryValue("nested")->stringValue("inner"), "x");
  EXPECT_EQ(dict->dictionaryValue("style"), nullptr);
  EXPECT_EQ(dict->dictionaryValue("absent"), nullptr);
}

class NSDictionaryFiles : public aurora::testing::VirtualLoopTest {
 protected:
  std::shared_ptr<const NSDictionary> write(const std::string& path, const std::string& bytes) {
    root_.write(path, bytes);
    return NSDictionary::dictionaryWithContentsOfFile(path);
  }
  aurora::testing::TempDeviceRoot root_;
};

TEST_F(NSDictionaryFiles, TracedReadResolvesUnderTheRootAndReportsTheDevicePath) {
  struct Reads : aurora::PlatformObserver {
    std::vector<std::pair<std::string, bool>> seen;
    void dictionaryRead(std::string_view path, bool ok) override { seen.emplace_back(path, ok); }
  } reads;
  aurora::setPlatformObserver(&reads);
  const std::string path = "/var/mobile/Library/Preferences/test.plist";
  auto dict = write(path, xmlDict("<key>style</key><string>Wave</string>\n"));
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(dict->stringValue("style"), "Wave");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/var/mobile/missing.plist"), nullptr);
  EXPECT_NE(NSDictionary::fromFile(aurora::hostPath(path)), nullptr);  // untraced
  EXPECT_EQ(reads.seen, (std::vector<std::pair<std::string, bool>>{{path, true}, {"/var/mobile/missing.plist", false}}));
}

TEST_F(NSDictionaryFiles, BadFilesReadAsNoDictionary) {
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/nowhere.plist"), nullptr);
  root_.write("/dir/inside", "");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/dir"), nullptr);
  ASSERT_EQ(::mkfifo(aurora::hostPath("/fifo.plist").c_str(), 0600), 0);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/fifo.plist"), nullptr);  // does not block
  for (const std::string& bytes : {""s, "\x01\x02 not a plist \xFF"s, "<plist version=\"1.0\"><array><string>a</string></array></plist>"s,
                                   "<plist version=\"1.0\"><string>a</string></plist>"s, xmlDict(kMixedBody).substr(0, 120),
                                   toBinary(xmlDict(kMixedBody)).substr(0, 60), "bplist00"s}) {
    EXPECT_EQ(write("/bad.plist", bytes), nullptr) << bytes;
  }
}

TEST_F(NSDictionaryFiles, OneMebibyteIsTheLimit) {
  // White space before the closing tag pads a valid file to an exact size.
  const std::string shell = xmlDict("<key>k</key><string>v</string>\n");
  auto padded = [&](std::size_t size) {
    return std::string(shell).insert(shell.size() - "</plist>\n"s.size(), std::string(size - shell.size(), ' '));
  };
  EXPECT_NE(write("/exact.plist", padded(NSDictionary::kMaxFileSize)), nullptr);
  EXPECT_EQ(write("/over.plist", padded(NSDictionary::kMaxFileSize + 1)), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(padded(NSDictionary::kMaxFileSize + 1)), nullptr);
}

// libplist would overflow its stack on deep nesting, or expand shared
// references without bound: such files are refused first.
TEST(NSDictionaryHostileInput, DeepBinaryNestingAndSharedReferencesThatExpandWithoutBoundAreRefused) {
  EXPECT_EQ(NSDictionary::fromBytes(arrayChain(100000, 1)), nullptr);  // under 1 MiB
  EXPECT_EQ(NSDictionary::fromBytes(arrayChain(40, 2)), nullptr);      // 2^40 values from a few hundred bytes
}

TEST(NSDictionaryHostileInput, ModestSharingAndNestingStillReadButDeepXmlNestingIsRefused) {
  std::string body, nested = "<string>x</string>", deep;  // a shared string under many keys, arrays 200 deep
  for (int i = 0; i < 50; ++i) body += "<key>k" + std::to_string(i) + "</key><string>same</string>";
  for (int i = 0; i < 200; ++i) nested = "<array>" + nested + "</array>";
  const std::string xml = xmlDict(body + "<key>deep</key>" + nested + "\n");
  for (const std::string& bytes : {xml, toBinary(xml)}) {
    auto dict = NSDictionary::fromBytes(bytes);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->stringValue("k49"), "same");
  }
  for (int i = 0; i < 60000; ++i) deep += "<array>";
  for (int i = 0; i < 60000; ++i) deep += "</array>";
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>deep</key>" + deep + "\n")), nullptr);
}

TEST(NSDictionaryHostileInput, KeysAndStringsHoldingNulAreRefusedNotFatal) {
  // libplist asserts, aborting the process, when it reads a UTF-16 key holding U+0000.
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x62\x00\x61\x00\x00"s, "\x51x"})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x53" "a\0b"s, "\x51x"})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x51k", "\x61\x00\x00"s})), nullptr);
  EXPECT_NE(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x51k", "\x61\x00\x41"s})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>a\0b</key><string>x</string>\n"s)), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>k</key><string>a\0b</string>\n"s)), nullptr);
}

}  // namespace
