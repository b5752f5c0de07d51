// Property lists read (XML, binary, hostile) and preferences files written: kept keys, atomic, unreadable files
// refused.
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <csignal>
#include <functional>
#include <set>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"
#include "aurora/PreferencesFile.h"

namespace aurora {
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
// A hand-made binary plist: objects as marker bytes, 4-byte references and offsets, object 0 on top.
std::string binaryPlist(const std::vector<std::string>& objects) {
  std::string out = "bplist00", table;
  for (const std::string& object : objects) {
    table += bigEndian(out.size(), 4);
    out += object;
  }
  return out + table + std::string(6, '\0') + "\x04\x04" + bigEndian(objects.size(), 8) + bigEndian(0, 8) +
         bigEndian(out.size(), 8);
}
// An array object (marker 0xA_) holding references to `children`.
std::string arrayObject(const std::vector<std::uint32_t>& children) {
  std::string object(1, static_cast<char>(0xA0 | children.size()));
  for (std::uint32_t child : children) object += bigEndian(child, 4);
  return object;
}
const std::string kKeyToArray =
    "\xD1"
    "\x00\x00\x00\x01\x00\x00\x00\x02"s;  // {object 1: object 2}
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
    "<key>nested</key><dict><key>inner</key><string>x</string></dict>\n<key>when</key><date>2024-01-02T03:04:05Z</"
    "date>\n"
    "<key>blob</key><data>AAEC</data>\n";

// Each row: what one getter reads from each of the value elements under key "k".
template <class T, class Get>
void expectReads(const std::vector<std::pair<T, std::vector<std::string>>>& rows, Get get) {
  for (const auto& [expected, elements] : rows) {
    for (const std::string& element : elements) {
      auto dict = NSDictionary::fromBytes(xmlDict("<key>k</key>" + element + "\n"));
      ASSERT_NE(dict, nullptr) << element;
      EXPECT_EQ(get(*dict), expected) << element;
    }
  }
}

TEST(NSDictionaryReading, BoolsStringsAndIntegersFollowThePlatformRules) {
  expectReads<bool>(
      {{true,
        {str("YES"), str("yes"), str("true"), str("T"), str("1"), str("9 lives"), str("  +0001"), str("-5"),
         str("\t\n y"), "<integer>2</integer>", "<integer>-1</integer>", "<real>1e-300</real>", "<real>nan</real>"}},
       {false,
        {str("NO"), str("false"), str("0"), str(""), str("  -000"), str("0x1"), str("abc"), str("\u00ffes"), str("+"),
         "<integer>0</integer>", "<real>0.0</real>", "<false/>"}}},
      [](const NSDictionary& d) { return d.boolValue("k"); });
  expectReads<std::string>({{"42", {"<integer>42</integer>"}},
                            {"-7", {"<integer>-7</integer>"}},
                            {"-9223372036854775808", {"<integer>-9223372036854775808</integer>"}},
                            {"0.1", {"<real>0.1</real>"}},
                            {"0.3333333333333333", {"<real>0.33333333333333331</real>"}},
                            {"1e+300", {"<real>1e300</real>"}},
                            {"3", {"<real>3.0</real>"}},
                            {"1", {"<true/>"}},
                            {"0", {"<false/>"}},
                            {"Gr\xC3\xBCn \xE2\x9C\x93", {str("Gr\xC3\xBCn \xE2\x9C\x93")}}},
                           [](const NSDictionary& d) { return d.stringValue("k"); });
  expectReads<std::int64_t>(
      {{-12, {str("  -12abc")}},
       {kMax,
        {str("99999999999999999999"), str("9223372036854775807"), str("9223372036854775808"), "<real>1e300</real>"}},
       {kMin, {str("-99999999999999999999"), str("-9223372036854775808"), "<real>-1e300</real>"}},
       {2, {"<real>2.9</real>"}},
       {-2, {"<real>-2.9</real>"}},
       {0, {"<real>nan</real>"}},
       {1, {"<true/>"}}},
      [](const NSDictionary& d) { return d.integerValue("k"); });
}

TEST(NSDictionaryReading, DoublesReadTheLongestDecimalPrefixAndFloatsSaturate) {
  expectReads<double>({{12.5, {str(" 12.5abc")}},
                       {-300.0, {str("\t-3e2x")}},
                       {1.0, {str("1e"), str("1,5")}},
                       {2.0, {str("2e+")}},
                       {0.5, {str(".5")}},
                       {5.0, {str("5.")}},
                       {0.0, {str("abc"), str(""), str("0x10"), str("inf"), str("nan"), str("- 1"), str("1e-400")}},
                       {-2.5, {str("-.25e1")}},
                       {7.0, {str("+7")}},
                       {kInf, {str("1e400"), str("1" + std::string(400, '0'))}},
                       {-kInf, {str("-1e400")}}},
                      [](const NSDictionary& d) { return d.doubleValue("k"); });
  const float inf = std::numeric_limits<float>::infinity();
  expectReads<float>(
      {{inf, {str("1" + std::string(400, '0')), "<real>1e300</real>", "<real>3.4028236e38</real>", str("1e39")}},
       {-inf, {"<real>-1e300</real>"}},
       // 3.4028235e38 rounds to FLT_MAX, as IEEE does
       {FLT_MAX, {"<real>3.4028234663852886e38</real>", "<real>3.4028235e38</real>"}},
       {0.1f, {"<real>0.1</real>"}},
       {0.0f, {"<real>1e-50</real>"}}},
      [](const NSDictionary& d) { return d.floatValue("k"); });
  auto dict = NSDictionary::fromBytes(xmlDict("<key>nan</key><real>nan</real>\n"));
  ASSERT_TRUE(dict && dict->floatValue("nan").has_value());
  EXPECT_TRUE(std::isnan(*dict->floatValue("nan")));
}

TEST(NSDictionaryReading, MissingKeysAndOtherTypesReadAsAbsent) {
  const std::string mixed = "<key>mixed</key><array><string>x</string><integer>1</integer></array>\n";
  auto dict = NSDictionary::fromBytes(xmlDict(kMixedBody + mixed));
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
  for (const char* key : {"style", "absent", "mixed"}) EXPECT_EQ(dict->stringArray(key), std::nullopt) << key;
  EXPECT_EQ(dict->stringArray("bundles"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(dict->dictionaryValue("nested")->stringValue("inner"), "x");
  for (const char* key : {"style", "absent"}) EXPECT_EQ(dict->dictionaryValue(key), nullptr) << key;
}

class NSDictionaryFiles : public aurora::testing::VirtualLoopTest {
 protected:
  std::shared_ptr<const NSDictionary> write(const std::string& path, const std::string& bytes) {
    root_.write(path, bytes);
    return NSDictionary::dictionaryWithContentsOfFile(path);
  }
  aurora::testing::TempDeviceRoot root_;
};

TEST_F(NSDictionaryFiles, BadFilesReadAsNoDictionary) {
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/nowhere.plist"), nullptr);
  root_.write("/dir/inside", "");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/dir"), nullptr);
  ASSERT_EQ(::mkfifo(aurora::hostPath("/fifo.plist").c_str(), 0600), 0);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/fifo.plist"), nullptr);  // does not block
  std::filesystem::create_symlink("/proc/self/smaps",
                                  aurora::hostPath("/kernel.plist"));  // no size, much more than a read
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/kernel.plist"), nullptr);
  for (const std::string& bytes :
       {""s, "\x01\x02 not a plist \xFF"s, "<plist version=\"1.0\"><array><string>a</string></array></plist>"s,
        "<plist version=\"1.0\"><string>a</string></plist>"s, xmlDict(kMixedBody).substr(0, 120),
        toBinary(xmlDict(kMixedBody)).substr(0, 60), "bplist00"s})
    EXPECT_EQ(write("/bad.plist", bytes), nullptr) << bytes;
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

// libplist would overflow its stack, or expand shared references without bound.
TEST(NSDictionaryHostileInput, DeepOrExplodingBinaryFilesAreRefused) {
  EXPECT_EQ(NSDictionary::fromBytes(arrayChain(100000, 1)), nullptr);  // under 1 MiB
  EXPECT_EQ(NSDictionary::fromBytes(arrayChain(40, 2)), nullptr);      // 2^40 values from a few hundred bytes
}

TEST(NSDictionaryHostileInput, ModestSharingAndNestingStillRead) {
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
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({kKeyToArray,
                                                 "\x53"
                                                 "a\0b"s,
                                                 "\x51x"})),
            nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x51k", "\x61\x00\x00"s})), nullptr);
  EXPECT_NE(NSDictionary::fromBytes(binaryPlist({kKeyToArray, "\x51k", "\x61\x00\x41"s})), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>a\0b</key><string>x</string>\n"s)), nullptr);
  EXPECT_EQ(NSDictionary::fromBytes(xmlDict("<key>k</key><string>a\0b</string>\n"s)), nullptr);
}

template <class T>
std::optional<T> valueOf(const NSDictionary& dictionary, std::string_view key) {
  const PropertyListValue* value = dictionary.objectForKey(key);
  const T* typed = value != nullptr ? std::get_if<T>(&value->storage) : nullptr;
  return typed != nullptr ? std::optional<T>(*typed) : std::nullopt;
}

class PreferencesFileTest : public ::testing::Test {
 protected:
  std::shared_ptr<const NSDictionary> read() const { return NSDictionary::fromFile(path_); }
  std::string bytes() const { return root_.read(kDevicePath); }
  std::set<std::string> filesInFolder() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_.parent_path()))
      names.insert(entry.path().filename());
    return names;
  }
  // The file and the writers' lock file, which stays.
  const std::set<std::string> fileAndLock_{"p.plist", ".p.plist.lock"};

  aurora::testing::TempDeviceRoot root_;
  static constexpr const char* kDevicePath = "/var/mobile/Library/Preferences/p.plist";
  std::filesystem::path path_ = hostPath(kDevicePath);
  PreferencesFile prefs_{path_};
};

class PreferencesRoundTripTest : public PreferencesFileTest, public ::testing::WithParamInterface<PlistFormat> {};

TEST_P(PreferencesRoundTripTest, EveryValueReadsBackExactly) {
  const std::vector<PreferenceEntry> entries{{"yes", true},
                                             {"no", false},
                                             {"min", kMin},
                                             {"max", kMax},
                                             {"minusOne", std::int64_t{-1}},
                                             {"tenth", 0.1},
                                             {"tiny", 5e-324},
                                             {"huge", 1e308},
                                             {"inf", -kInf},
                                             {"nan", std::nan("")},
                                             {"empty", std::string()},
                                             {"text", std::string("caf\xc3\xa9 <&> \"quoted\"\n")},
                                             {"twice", std::int64_t{1}},
                                             {"twice", 3.5}};
  if (GetParam() == PlistFormat::Binary) prefs_.setFormat(PlistFormat::Binary);  // XML unless told
  prefs_.set(entries);  // to an empty folder, made with its parents
  EXPECT_EQ(bytes(), preferencesBytes(entries, GetParam()));
  EXPECT_EQ(bytes().substr(0, 8), GetParam() == PlistFormat::Binary ? "bplist00" : "<?xml ve");
  EXPECT_EQ(filesInFolder(), fileAndLock_);  // no temporary file left
  const auto d = read();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 13u);
  for (auto [key, b] : {std::pair("yes", true), {"no", false}}) EXPECT_EQ(valueOf<bool>(*d, key), b) << key;
  for (auto [key, n] : {std::pair("min", INT64_MIN), {"max", INT64_MAX}, {"minusOne", -1}})
    EXPECT_EQ(valueOf<std::int64_t>(*d, key), n) << key;
  for (auto [key, x] : {std::pair("tenth", 0.1), {"tiny", 5e-324}, {"huge", 1e308}, {"inf", -kInf}, {"twice", 3.5}})
    EXPECT_EQ(valueOf<double>(*d, key), x) << key;  // twice: the later entry wins
  EXPECT_TRUE(std::isnan(valueOf<double>(*d, "nan").value_or(0)));
  for (auto [key, text] : {std::pair("empty", ""), {"text", "caf\xc3\xa9 <&> \"quoted\"\n"}})
    EXPECT_EQ(valueOf<std::string>(*d, key), text) << key;
}

INSTANTIATE_TEST_SUITE_P(BothFormats, PreferencesRoundTripTest,
                         ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) { return info.param == PlistFormat::Xml ? "Xml" : "Binary"; });

// Through both formats; of two entries for a key the later wins.
TEST_F(PreferencesFileTest, KeepsOtherKeysOfEveryType) {
  prefs_.writeRaw(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>list</key><array><string>x</string><integer>2</integer></array>
  <key>nested</key><dict><key>inner</key><real>1.5</real></dict>
  <key>when</key><date>2020-01-02T03:04:05Z</date>
  <key>blob</key><data>AAEC</data>
  <key>style</key><string>Wave</string>
</dict></plist>)");
  const auto expectKept = [&] {
    const auto d = read();
    ASSERT_TRUE(d);
    const std::optional<PropertyListArray> list = valueOf<PropertyListArray>(*d, "list");
    ASSERT_TRUE(list && list->size() == 2u);
    EXPECT_EQ((*list)[0].stringValue(), "x");
    EXPECT_EQ((*list)[1].integerValue(), 2);
    ASSERT_TRUE(d->dictionaryValue("nested"));
    EXPECT_EQ(d->dictionaryValue("nested")->doubleValue("inner"), 1.5);
    EXPECT_EQ(valueOf<PropertyListDate>(*d, "when").value_or(PropertyListDate{0}).secondsSinceReferenceDate,
              599627045.0);
    EXPECT_EQ(valueOf<PropertyListData>(*d, "blob").value_or(PropertyListData{}).bytes,
              (std::vector<std::uint8_t>{0, 1, 2}));
  };
  prefs_.setFormat(PlistFormat::Binary);
  prefs_.set({{"style", std::string("Fade")}, {"a", std::int64_t{1}}});
  EXPECT_EQ(bytes().substr(0, 8), "bplist00");
  expectKept();
  prefs_.setFormat(PlistFormat::Xml);
  prefs_.set({{"a", 2.5}, {"b", false}, {"b", true}});
  EXPECT_EQ(bytes().substr(0, 5), "<?xml");
  EXPECT_TRUE(prefs_.unset("style"));
  expectKept();
  const auto d = read();
  EXPECT_EQ(d->count(), 6u);
  EXPECT_FALSE(d->containsKey("style"));
  EXPECT_EQ(d->doubleValue("a"), 2.5);
  EXPECT_EQ(d->boolValue("b"), true);
}

TEST_F(PreferencesFileTest, UnsetRemoveWriteRawAndContentsTouchOnlyWhatIsThere) {
  EXPECT_EQ(prefs_.contents(), nullptr);
  EXPECT_FALSE(prefs_.unset("anything"));  // no file: nothing to do, nothing made
  EXPECT_FALSE(prefs_.remove());
  EXPECT_FALSE(std::filesystem::exists(path_));
  prefs_.setFormat(PlistFormat::Binary);
  prefs_.set({{"a", true}, {"b", std::string("Static")}});
  prefs_.setFormat(PlistFormat::Xml);
  const std::string before = bytes();
  EXPECT_FALSE(prefs_.unset("missing"));
  EXPECT_EQ(bytes(), before);  // not even rewritten in the other format
  EXPECT_TRUE(prefs_.unset("a"));
  ASSERT_TRUE(prefs_.contents());
  EXPECT_EQ(prefs_.contents()->count(), 1u);
  EXPECT_EQ(prefs_.contents()->stringValue("b"), "Static");
  const std::string raw("not a plist\n\0\xff", 14);
  prefs_.writeRaw(raw);
  EXPECT_EQ(bytes(), raw);
  EXPECT_TRUE(prefs_.remove());  // whatever it holds
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(PreferencesFileTest, NeverOverwritesAFileTheDeviceCouldNotRead) {
  const std::string arrayRoot = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>";
  const std::string oversized = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key><string>" +
                                std::string(NSDictionary::kMaxFileSize, 'x') + "</string></dict></plist>";
  for (const std::string& raw : {std::string("junk"), std::string(), arrayRoot, oversized}) {
    prefs_.writeRaw(raw);
    EXPECT_THROW(prefs_.set({{"enabled", true}}), PreferencesError);
    EXPECT_THROW(prefs_.unset("enabled"), PreferencesError);
    EXPECT_THROW(prefs_.contents(), PreferencesError);
    EXPECT_TRUE(bytes() == raw) << "changed: " << raw.substr(0, 40);
  }
}

// Each call returns at once with an error naming what is there, and leaves it.
TEST_F(PreferencesFileTest, LeavesWhatIsNotARegularFileWhereItIs) {
  std::filesystem::create_directories(path_.parent_path());
  const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{AF_UNIX, {}};
  path_.native().copy(address.sun_path, sizeof address.sun_path - 1);
  const std::pair<std::string, std::function<int()>> kinds[] = {
      {"a FIFO", [&] { return ::mkfifo(path_.c_str(), 0644); }},   // opened without O_NONBLOCK, it blocks
      {"a folder", [&] { return ::mkdir(path_.c_str(), 0755); }},  // std::filesystem::remove would take it
      {"a socket", [&] { return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address); }}};
  const std::vector<PreferenceEntry> aOn{{"a", true}};
  const auto error = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const PreferencesError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  for (const auto& [what, make] : kinds) {
    ASSERT_EQ(make(), 0) << what;
    const std::function<void()> calls[] = {[&] { prefs_.set(aOn); }, [&] { prefs_.unset("a"); },
                                           [&] { prefs_.contents(); }, [&] { prefs_.remove(); }};
    for (const auto& call : calls) {
      const std::string got = error(call);
      EXPECT_NE(got.find(" is " + what + ", not a preferences file; leaving it"), std::string::npos) << got;
    }
    EXPECT_TRUE(std::filesystem::exists(path_) && !std::filesystem::is_regular_file(path_)) << what;
    ::remove(path_.c_str());
  }
  ::close(socket);
}

TEST_F(PreferencesFileTest, KeepsTheFilePermissions) {
  const auto permissions = [&] { return std::filesystem::status(path_).permissions() & std::filesystem::perms::all; };
  prefs_.set({{"a", true}});
  EXPECT_EQ(permissions(), std::filesystem::perms(0644));
  std::filesystem::permissions(path_, std::filesystem::perms(0600));
  const std::vector<PreferenceEntry> bOn{{"b", true}};
  const std::function<void()> writes[] = {[&] { prefs_.set(bOn); }, [&] { prefs_.unset("a"); },
                                          [&] { prefs_.writeRaw("x"); }};
  for (const auto& write : writes) {
    write();
    EXPECT_EQ(permissions(), std::filesystem::perms(0600));
  }
}

// A file written in binary may be rewritten in XML by the next writer, so
// both refuse what XML cannot carry.
TEST_F(PreferencesFileTest, RefusesTextSomeReaderCouldNotReadBackLeavingTheFile) {
  prefs_.set({{"a", true}});
  const std::string before = bytes(), surrogate = "\xed\xa0\x80";
  for (const std::string& bad :
       {std::string("k\0y", 3), std::string("x\001y"), std::string("\x1f"), std::string("\xef\xbf\xbe"),
        std::string("\xef\xbf\xbf"), std::string("\xff"), std::string("\x80"), std::string("\xc0\xaf"), surrogate,
        std::string("x\xe2\x82"), std::string("\xf4\x90\x80\x80")}) {
    for (const PlistFormat format : {PlistFormat::Binary, PlistFormat::Xml}) {  // XML is left for the last write
      prefs_.setFormat(format);
      EXPECT_THROW(prefs_.set({{bad, true}}), PreferencesError);
      EXPECT_THROW(prefs_.set({{"k", bad}}), PreferencesError);
      EXPECT_THROW(preferencesBytes({{"k", bad}}, format), PreferencesError);
    }
  }
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(unreadableText("x\001y"), "holds U+0001, which XML cannot carry");
  EXPECT_EQ(unreadableText(surrogate), "is not UTF-8");
  // Tab, line feed, carriage return (raw, XML readers take it for a line feed),
  // DEL, a C1 control and the last character before each gap.
  const std::string carried = "\t\n\r\x7f\xc2\x80\xed\x9f\xbf\xef\xbf\xbd\xf4\x8f\xbf\xbf";
  prefs_.set({{carried, carried}});
  EXPECT_EQ(read()->stringValue(carried), carried);
  EXPECT_EQ(bytes().find('\r'), std::string::npos);
  // Nor is text kept from a binary file written as XML.
  const std::string binary = binaryPlist({kKeyToArray, "\x53old", "\x53x\001y"});  // {"old": "x\001y"}
  prefs_.writeRaw(binary);
  EXPECT_THROW(prefs_.set({{"a", true}}), PreferencesError);
  EXPECT_EQ(bytes(), binary);
}

// A folder it cannot make, or a rename that fails; no temporary file is left.
TEST_F(PreferencesFileTest, AWriteThatCannotLandIsReported) {
  root_.write("/blocker", "a file where a folder should be");
  PreferencesFile blocked(root_.path() / "blocker/p.plist");
  EXPECT_THROW(blocked.set({{"a", true}}), PreferencesError);
  EXPECT_THROW(blocked.writeRaw("x"), PreferencesError);
  std::filesystem::create_directories(path_ / "occupied");  // a folder that is not empty where the file goes
  EXPECT_THROW(prefs_.writeRaw("x"), PreferencesError);
  EXPECT_EQ(filesInFolder(), fileAndLock_);
  EXPECT_TRUE(std::filesystem::is_directory(path_ / "occupied"));
}

// A writer that stopped holding the lock: the next one gives up, writing nothing, and the one after goes on.
TEST_F(PreferencesFileTest, AWriterStuckHoldingTheLockHoldsUpNoOneForLong) {
  prefs_.set({{"style", std::string("Wave")}});
  const std::string before = bytes();
  const int stuck = ::open((path_.parent_path() / ".p.plist.lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(stuck, LOCK_EX), 0);
  prefs_.setLockPatience(std::chrono::milliseconds(50));
  EXPECT_THROW(prefs_.set({{"style", std::string("Fade")}}), PreferencesError);
  EXPECT_THROW(prefs_.remove(), PreferencesError);
  EXPECT_EQ(bytes(), before);
  ::close(stuck);
  prefs_.set({{"style", std::string("Fade")}});
  EXPECT_EQ(read()->stringValue("style"), "Fade");
}

// Cut short by a file size limit, as by a full disk.
TEST_F(PreferencesFileTest, AWriteCutShortLeavesTheGoodFileAndNoTemporaryFile) {
  prefs_.set({{"style", std::string("Wave")}});
  const std::string good = bytes();
  const auto setUnderFileSizeLimit = [&] {  // exits 0 when set refused with PreferencesError
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit bound{good.size() + 16, good.size() + 16};
    ::setrlimit(RLIMIT_FSIZE, &bound);
    try {
      prefs_.set({{"padding", std::string(4096, 'p')}});
    } catch (const PreferencesError&) {
      std::exit(0);
    }
    std::exit(1);
  };
  EXPECT_EXIT(setUnderFileSizeLimit(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(bytes(), good);
  EXPECT_EQ(filesInFolder(), fileAndLock_);
}

}  // namespace
}  // namespace aurora
