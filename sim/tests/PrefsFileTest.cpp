// Editing the preferences file: typed values, kept keys, formats, atomic
// writes, and files it refuses to touch.
#include "PrefsFile.h"

#include <cmath>

#include <gtest/gtest.h>

#include "Foundation/NSDictionary.h"
#include "TempDir.h"

namespace sim {
namespace {

class PrefsFileTest : public ::testing::Test {
 protected:
  std::shared_ptr<const NSDictionary> read() const { return NSDictionary::fromFile(path_); }
  std::vector<std::string> filesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_.parent_path())) names.push_back(entry.path().filename());
    return names;
  }

  test::TempDir dir_;
  std::filesystem::path path_ = dir_ / "var/mobile/Library/Preferences/p.plist";
  PrefsFile prefs_{path_};
};

TEST_F(PrefsFileTest, WritesTypedValuesMakingTheFileAndItsFolders) {
  prefs_.set({{"enabled", true}, {"count", std::int64_t{-3}}, {"speed", 0.25}, {"style", std::string("Fade")},
              {"odd", std::nan("")}});
  const auto dictionary = read();
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->boolValue("enabled"), true);
  EXPECT_EQ(dictionary->integerValue("count"), -3);
  EXPECT_EQ(dictionary->doubleValue("speed"), 0.25);
  EXPECT_EQ(dictionary->stringValue("style"), "Fade");
  EXPECT_TRUE(std::isnan(*dictionary->doubleValue("odd")));
  EXPECT_NE(test::readFile(path_).find("<true/>"), std::string::npos);  // XML by default
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"p.plist"});      // no temporary file left
}

TEST_F(PrefsFileTest, KeepsOtherKeysAndLetsTheLaterEntryWin) {
  prefs_.set({{"a", std::int64_t{1}}, {"keep", std::string("me")}});
  prefs_.set({{"a", 2.5}, {"b", false}, {"b", true}});
  const auto dictionary = read();
  EXPECT_EQ(dictionary->count(), 3u);
  EXPECT_EQ(dictionary->doubleValue("a"), 2.5);
  EXPECT_EQ(dictionary->boolValue("b"), true);
  EXPECT_EQ(dictionary->stringValue("keep"), "me");
}

TEST_F(PrefsFileTest, WritesBinaryWhenAskedAndReadsEitherFormat) {
  prefs_.set({{"a", std::int64_t{1}}});
  prefs_.setFormat(PlistFormat::Binary);
  prefs_.set({{"b", std::int64_t{2}}});
  EXPECT_EQ(test::readFile(path_).substr(0, 8), "bplist00");
  prefs_.setFormat(PlistFormat::Xml);
  prefs_.set({{"c", std::int64_t{3}}});
  EXPECT_EQ(test::readFile(path_).substr(0, 5), "<?xml");
  EXPECT_EQ(read()->count(), 3u);
}

TEST_F(PrefsFileTest, UnsetsKeysAndRemovesTheFile) {
  prefs_.unset("anything");  // no file: nothing to do, nothing made
  EXPECT_FALSE(std::filesystem::exists(path_));
  prefs_.set({{"a", true}, {"b", true}});
  prefs_.unset("a");
  prefs_.unset("missing");
  EXPECT_EQ(read()->count(), 1u);
  EXPECT_TRUE(read()->containsKey("b"));
  prefs_.remove();
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_NO_THROW(prefs_.remove());
}

TEST_F(PrefsFileTest, WritesRawBytesExactly) {
  const std::string bytes("not a plist\n\0\xff", 14);
  prefs_.writeRaw(bytes);
  EXPECT_EQ(test::readFile(path_), bytes);
}

TEST_F(PrefsFileTest, NeverOverwritesAFileTheDeviceCouldNotRead) {
  const std::string arrayRoot = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>";
  for (const std::string& bytes : {std::string("junk"), std::string(), arrayRoot}) {
    prefs_.writeRaw(bytes);
    EXPECT_THROW(prefs_.set({{"enabled", true}}), PrefsError);
    EXPECT_THROW(prefs_.unset("enabled"), PrefsError);
    EXPECT_EQ(test::readFile(path_), bytes);
  }
}

TEST_F(PrefsFileTest, RefusesKeysAndTextWithNulBytesLeavingTheFileAsItWas) {
  prefs_.set({{"a", true}});
  const std::string before = test::readFile(path_);
  EXPECT_THROW(prefs_.set({{std::string("k\0y", 3), true}}), PrefsError);
  EXPECT_THROW(prefs_.set({{"k", std::string("v\0", 2)}}), PrefsError);
  EXPECT_EQ(test::readFile(path_), before);
}

TEST_F(PrefsFileTest, ReportsAFolderItCannotWriteIn) {
  dir_.write("blocker", "a file where a folder should be");
  PrefsFile blocked(dir_ / "blocker/p.plist");
  EXPECT_THROW(blocked.set({{"a", true}}), PrefsError);
}

}  // namespace
}  // namespace sim
