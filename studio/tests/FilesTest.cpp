// The phone's file and the looks, without a browser: what a download holds,
// what an upload may change, and a look's way from its name to the file.
#include <gtest/gtest.h>

#include <fstream>

#include "FilesApi.h"
#include "HeldValues.h"
#include "LookSettings.h"
#include "Looks.h"
#include "TempDeviceRoot.h"
#include "settings/Contract.h"

namespace studio {
namespace {

using Json = nlohmann::json;
using aurora::PlistFormat;

std::string plist(const std::vector<aurora::PreferenceEntry>& entries, PlistFormat format = PlistFormat::Xml) {
  return aurora::preferencesBytes(entries, format);
}

class FilesApiTest : public ::testing::Test {
 protected:
  std::string file() const { return root_.read(settings::kPreferencesPath); }
  // What the studio's file holds for `key`, as the settings API shows it.
  Json holds(const std::string& key) const {
    const Json state = api_.read(0).body;
    for (const Json& entry : state["keys"])
      if (entry["key"] == key) return entry["file"];
    return "no such key";
  }

  aurora::testing::TempDeviceRoot root_;
  std::filesystem::path path_ = aurora::hostPath(settings::kPreferencesPath);
  int posts_ = 0;
  HeldValues held_;
  SettingsApi api_{path_, [this] { ++posts_; }, held_};
  FilesApi files_{path_, api_, root_.path() / "data" / "looks"};
};

// The download is the file the device reads, binary unless XML is asked for, every key kept.
TEST_F(FilesApiTest, TheDownloadIsTheFileTheDeviceReads) {
  // None yet: the starting values, which are what the extension runs with without one.
  const FileResult none = files_.phoneFile(PlistFormat::Binary);
  ASSERT_EQ(none.status, 200);
  EXPECT_TRUE(none.bytes.starts_with("bplist00"));
  EXPECT_EQ(settingsOfFile(none.bytes), settingsOf(NSDictionary({})));

  root_.write(settings::kPreferencesPath,
              plist({{"enabled", true}, {"style", std::string("Fade")}, {"fadeSpeed", 2.5}, {"odd", std::int64_t{7}}}));
  const std::string xml = file();
  EXPECT_EQ(files_.phoneFile(PlistFormat::Xml).bytes, xml);  // already XML: byte for byte
  EXPECT_EQ(file(), xml);                                    // a download writes nothing

  root_.write(settings::kPreferencesPath, "not a plist");
  const FileResult bad = files_.phoneFile(PlistFormat::Binary);
  EXPECT_EQ(bad.status, 409);  // never handed on to a phone
  EXPECT_NE(bad.error["error"].get<std::string>().find("not a preferences dictionary"), std::string::npos) << bad.error;
}

// Each way a file can be wrong is refused with its reason; the studio's file stays byte for byte and nothing is posted.
TEST_F(FilesApiTest, ABadPhoneFileChangesNothing) {
  root_.write(settings::kPreferencesPath, plist({{"style", std::string("Static")}}, PlistFormat::Binary));
  const std::string before = file();
  const std::vector<std::pair<std::string, std::string>> bad{
      {"not a property list", "{\"style\": \"Fade\"}"},
      {"dictionary at its root",
       "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>Fade</string></array></plist>"},
      {"fadeSpeed takes -float or -int, not -string", plist({{"fadeSpeed", std::string("fast")}})},
      {"enabled takes -bool, not -int", plist({{"enabled", std::int64_t{1}}})},
      {"style: ", plist({{"style", std::string("Sparkle")}})},
      {"fadeColor1: ", plist({{"fadeColor1", std::string("#12")}})},
      {"outside its range", plist({{"waveAnimationSpeed", 30.0}})},
      {"16384", plist({{"style", std::string("Fade")}, {"padding", std::string(kMostSettingsFileBytes, 'x')}})},
  };
  for (const auto& [why, bytes] : bad) {
    for (const bool confirm : {false, true}) {
      const ApiResult result = files_.openPhoneFile(bytes, confirm, 0);
      EXPECT_EQ(result.status, 400) << why;
      const std::string said = result.body.value("error", "");
      EXPECT_NE(said.find(why), std::string::npos) << said;
      EXPECT_NE(said.find("nothing was changed"), std::string::npos) << said;
    }
  }
  EXPECT_EQ(file(), before);
  EXPECT_EQ(posts_, 0);
}

// A good file is shown as its changes first; confirmed, the studio's file holds what the phone's does.
TEST_F(FilesApiTest, APhoneFileIsShownThenWrittenWhenConfirmed) {
  root_.write(
      settings::kPreferencesPath,
      plist({{"enabled", true}, {"style", std::string("Static")}, {"fadeSpeed", 3.0}, {"mine", std::string("kept")}},
            PlistFormat::Binary));
  const std::string before = file();
  const std::string phone = plist({{"enabled", true},
                                   {"style", std::string("Fade")},
                                   {"fadeColor1", std::string("#00FF00")},
                                   {"fadeSpeed", std::int64_t{2}},
                                   {"PSVersion", std::string("1")}});
  const ApiResult preview = files_.openPhoneFile(phone, false, 0);
  ASSERT_EQ(preview.status, 200) << preview.body;
  EXPECT_EQ(file(), before);
  EXPECT_EQ(posts_, 0);
  EXPECT_EQ(preview.body["ignored"], Json{"PSVersion"});
  std::map<std::string, std::pair<Json, Json>> changes;
  for (const Json& change : preview.body["changes"]) changes[change["key"]] = {change["current"], change["new"]};
  EXPECT_EQ(changes["style"], std::pair(Json("Static"), Json("Fade")));
  EXPECT_EQ(changes["fadeSpeed"], std::pair(Json(3.0), Json(2)));
  EXPECT_EQ(changes["fadeColor1"], std::pair(Json(nullptr), Json("#00FF00")));
  EXPECT_EQ(changes["waveAnimationSpeed"],
            std::pair(Json(nullptr), Json(0.05)));  // not in the phone's file: its starting value
  EXPECT_FALSE(changes.contains("enabled"));
  EXPECT_EQ(changes.size(), preview.body["changes"].size());

  ASSERT_EQ(files_.openPhoneFile(phone, true, 0).status, 200);
  EXPECT_EQ(posts_, 1);
  EXPECT_TRUE(file().starts_with("bplist00"));  // the studio's file keeps its format
  EXPECT_EQ(holds("style"), "Fade");
  EXPECT_EQ(holds("fadeSpeed"), 2);
  EXPECT_EQ(holds("fadeColor1"), "#00FF00");
  EXPECT_EQ(api_.read(0).body["other"], (Json{{"mine", "kept"}}));  // its own other keys stay, the phone's are left out
  EXPECT_EQ(settingsOf(*NSDictionary::fromFile(path_)), settingsOfFile(phone));
}

TEST(LookNameTest, OnlyPlainNamesOfBoundedLength) {
  for (const char* good : {"a", "Sunset 2", "wave_fast-1", "0"}) EXPECT_EQ(lookNameRefusal(good), std::nullopt) << good;
  EXPECT_EQ(lookNameRefusal(std::string(kMostLookNameBytes, 'a')), std::nullopt);
  for (const std::string& bad :
       std::vector<std::string>{"", "..", "a/b", "a.plist", " a", "a ", "-a", "_a", "a\\b", "caf\xc3\xa9", "a\nb",
                                std::string(kMostLookNameBytes + 1, 'a'), std::string("a\0b", 3)}) {
    EXPECT_NE(lookNameRefusal(bad), std::nullopt) << bad;
  }
}

// Saved, renamed and deleted, never over another; names that are no look's refused; one edited by hand checked again.
TEST_F(FilesApiTest, ALookGoesRoundAndComesBack) {
  root_.write(settings::kPreferencesPath,
              plist({{"enabled", true}, {"style", std::string("Fade")}, {"fadeSpeed", 1.0}}));
  const Json saved = settingsOf(*NSDictionary::fromFile(path_));
  ASSERT_EQ(files_.saveLook(R"({"name": "Red fade"})").status, 200);
  EXPECT_EQ(files_.saveLook(R"({"name": "Red fade"})").status, 409);  // never replaced
  for (const char* bad : {R"({"name": "../escape"})", R"({"name": ".hidden"})", R"({"name": 3})", "[]", "not json"}) {
    EXPECT_EQ(files_.saveLook(bad).status, 400) << bad;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_.path() / "data" / "looks"), {}), 1);
  EXPECT_EQ(NSDictionary::fromFile(root_.path() / "data" / "looks" / "Red fade.plist")->stringValue("style"), "Fade");

  EXPECT_EQ(files_.renameLook(R"({"name": "Red fade", "to": "a/b"})").status, 400);
  EXPECT_EQ(files_.renameLook(R"({"name": "Nope", "to": "Other"})").status, 404);
  ASSERT_EQ(files_.saveLook(R"({"name": "Other"})").status, 200);
  EXPECT_EQ(files_.renameLook(R"({"name": "Red fade", "to": "Other"})").status, 409);  // never overwritten
  const ApiResult renamed = files_.renameLook(R"({"name": "Red fade", "to": "Sunset"})");
  ASSERT_EQ(renamed.status, 200);
  EXPECT_EQ(renamed.body["looks"][1]["name"], "Sunset");
  EXPECT_EQ(renamed.body["looks"][1]["settings"], saved);
  EXPECT_EQ(files_.deleteLook(R"({"name": "Sunset"})").body["looks"].size(), 1u);
  EXPECT_EQ(files_.applyLook(R"({"name": "Sunset"})", 0).status, 404);

  // A look file edited by hand is checked again before it is applied.
  std::ofstream(root_.path() / "data" / "looks" / "Other.plist") << plist({{"style", std::string("Sparkle")}});
  const std::string before = file();
  EXPECT_EQ(files_.applyLook(R"({"name": "Other"})", 0).status, 409);
  EXPECT_EQ(file(), before);
}

}  // namespace
}  // namespace studio
