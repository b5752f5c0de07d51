// Writing preferences files: typed values in XML and binary, kept keys of every
// type, atomic replacement, and files it refuses to touch.
#include "aurora/PreferencesFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>

#include "Foundation/NSDictionary.h"
#include "TempDeviceRoot.h"

namespace aurora {
namespace {

// The value under `key` when it is of type T.
template <class T>
std::optional<T> valueOf(const NSDictionary& dictionary, std::string_view key) {
  const PropertyListValue* value = dictionary.objectForKey(key);
  const T* typed = value != nullptr ? std::get_if<T>(&value->storage) : nullptr;
  return typed != nullptr ? std::optional<T>(*typed) : std::nullopt;
}

class PreferencesFileTest : public ::testing::Test {
 protected:
  std::shared_ptr<const NSDictionary> read() const { return NSDictionary::fromFile(path_); }
  std::string bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> filesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_.parent_path())) names.push_back(entry.path().filename());
    return names;
  }

  testing::TempDeviceRoot root_;
  std::filesystem::path path_ = root_.path() / "var/mobile/Library/Preferences/p.plist";
  PreferencesFile prefs_{path_};
};

class PreferencesRoundTripTest : public PreferencesFileTest, public ::testing::WithParamInterface<PlistFormat> {};

TEST_P(PreferencesRoundTripTest, EveryValueReadsBackExactlyAsTheFilePreferencesBytesDescribes) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<PreferenceEntry> entries{
      {"yes", true}, {"no", false}, {"min", std::numeric_limits<std::int64_t>::min()},
      {"max", std::numeric_limits<std::int64_t>::max()}, {"minusOne", std::int64_t{-1}}, {"tenth", 0.1}, {"tiny", 5e-324},
      {"huge", 1e308}, {"inf", -inf}, {"nan", std::nan("")}, {"empty", std::string()},
      {"text", std::string("caf\xc3\xa9 <&> \"quoted\"\n")}, {"twice", std::int64_t{1}}, {"twice", 3.5}};
  if (GetParam() == PlistFormat::Binary) prefs_.setFormat(PlistFormat::Binary);  // XML unless told
  prefs_.set(entries);  // to an empty folder, made with its parents
  EXPECT_EQ(bytes(), preferencesBytes(entries, GetParam()));
  EXPECT_EQ(bytes().substr(0, 8), GetParam() == PlistFormat::Binary ? "bplist00" : "<?xml ve");
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"p.plist"});  // no temporary file left
  const auto d = read();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 13u);
  EXPECT_EQ(std::tuple(valueOf<bool>(*d, "yes"), valueOf<bool>(*d, "no"), valueOf<std::int64_t>(*d, "min"),
                       valueOf<std::int64_t>(*d, "max"), valueOf<std::int64_t>(*d, "minusOne")),
            std::tuple(true, false, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), -1));
  EXPECT_EQ(std::tuple(valueOf<double>(*d, "tenth"), valueOf<double>(*d, "tiny"), valueOf<double>(*d, "huge"),
                       valueOf<double>(*d, "inf"), valueOf<double>(*d, "twice")),
            std::tuple(0.1, 5e-324, 1e308, -inf, 3.5));  // the later entry wins
  EXPECT_TRUE(std::isnan(valueOf<double>(*d, "nan").value_or(0)));
  EXPECT_EQ(valueOf<std::string>(*d, "empty"), "");
  EXPECT_EQ(valueOf<std::string>(*d, "text"), "caf\xc3\xa9 <&> \"quoted\"\n");
  EXPECT_EQ(bytes().find("<true/>") != std::string::npos, GetParam() == PlistFormat::Xml);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, PreferencesRoundTripTest, ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) { return info.param == PlistFormat::Xml ? "Xml" : "Binary"; });

TEST_F(PreferencesFileTest, KeepsOtherKeysOfEveryTypeThroughBothFormatsAndLetsTheLaterEntryWin) {
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
    EXPECT_EQ(std::tuple((*list)[0].stringValue(), (*list)[1].integerValue()), std::tuple("x", 2));
    ASSERT_TRUE(d->dictionaryValue("nested"));
    EXPECT_EQ(d->dictionaryValue("nested")->doubleValue("inner"), 1.5);
    EXPECT_EQ(valueOf<PropertyListDate>(*d, "when").value_or(PropertyListDate{0}).secondsSinceReferenceDate, 599627045.0);
    EXPECT_EQ(valueOf<PropertyListData>(*d, "blob").value_or(PropertyListData{}).bytes, (std::vector<std::uint8_t>{0, 1, 2}));
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
  EXPECT_EQ(std::tuple(d->count(), d->containsKey("style"), d->doubleValue("a"), d->boolValue("b")),
            std::tuple(6u, false, 2.5, true));
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
  EXPECT_EQ(std::tuple(prefs_.contents()->count(), prefs_.contents()->stringValue("b")), std::tuple(1u, "Static"));
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

TEST_F(PreferencesFileTest, RefusesSomethingThatIsNotARegularFileWithoutReadingIt) {
  std::filesystem::create_directories(path_.parent_path());
  ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);  // reading it would block
  try {
    prefs_.set({{"enabled", true}});
    FAIL() << "a FIFO was overwritten";
  } catch (const PreferencesError& error) {
    EXPECT_NE(std::string(error.what()).find("is not a preferences dictionary the device could read; leaving it untouched"),
              std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(path_));
}

TEST_F(PreferencesFileTest, RefusesKeysAndTextWithNulCharactersLeavingTheFileAsItWas) {
  prefs_.set({{"a", true}});
  const std::string before = bytes();
  EXPECT_THROW(prefs_.set({{std::string("k\0y", 3), true}}), PreferencesError);
  EXPECT_THROW(prefs_.set({{"k", std::string("v\0", 2)}}), PreferencesError);
  EXPECT_THROW(preferencesBytes({{"k", std::string("v\0", 2)}}, PlistFormat::Xml), PreferencesError);
  EXPECT_EQ(bytes(), before);
}

TEST_F(PreferencesFileTest, AFolderItCannotMakeOrAFailedRenameIsReportedLeavingNoTemporaryFile) {
  root_.write("/blocker", "a file where a folder should be");
  PreferencesFile blocked(root_.path() / "blocker/p.plist");
  EXPECT_THROW(blocked.set({{"a", true}}), PreferencesError);
  EXPECT_THROW(blocked.writeRaw("x"), PreferencesError);
  std::filesystem::create_directories(path_ / "occupied");  // a folder that is not empty where the file goes
  EXPECT_THROW(prefs_.writeRaw("x"), PreferencesError);
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"p.plist"});
  EXPECT_TRUE(std::filesystem::is_directory(path_ / "occupied"));
}

// A write cut short (here by a file size limit, as a full disk would) never
// replaces the good file: the temporary file is dropped instead.
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
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"p.plist"});
}

}  // namespace
}  // namespace aurora
