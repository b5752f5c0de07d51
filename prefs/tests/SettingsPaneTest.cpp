// The settings pane in-process on a temporary device root: what it writes,
// reads and deletes, what it posts, and that whatever it refuses leaves the
// file byte for byte as it was.
#include "SettingsPane.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "Foundation/NSDictionary.h"
#include "TempDeviceRoot.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PlatformObserver.h"

namespace prefs {
namespace {

// The names posted while it lives.
class PostRecorder : public aurora::PlatformObserver {
 public:
  PostRecorder() { aurora::setPlatformObserver(this); }
  ~PostRecorder() override { aurora::setPlatformObserver(nullptr); }
  void notificationPosted(std::string_view name) override { posts.emplace_back(name); }
  std::vector<std::string> posts;
};

struct PaneRun {
  int status;
  std::string out;
  std::string err;
  std::vector<std::string> posts;
};

class SettingsPaneTest : public ::testing::Test {
 protected:
  // The pane as its main() runs it, on the test's device root.
  static PaneRun pane(std::vector<std::string> args) {
    args.insert(args.begin(), "auroraribbon-prefs");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    PostRecorder recorder;
    auto parsed = parseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    const int status = std::holds_alternative<int>(parsed) ? std::get<int>(parsed)
                                                           : runSettingsPane(std::get<Invocation>(parsed), out, err);
    return {status, out.str(), err.str(), recorder.posts};
  }

  std::filesystem::path file() const { return aurora::hostPath(kPreferencesDevicePath); }
  std::string bytes() const {
    std::ifstream in(file(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void writeFile(std::string_view contents) const { root_.write(kPreferencesDevicePath, contents); }
  std::shared_ptr<const NSDictionary> contents() const { return NSDictionary::fromFile(file()); }

  const std::vector<std::string> kPosted{kSettingsChangedNotification};
  aurora::testing::TempDeviceRoot root_;
};

constexpr const char* kExistingFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>enabled</key><true/>
  <key>style</key><string>Wave</string>
  <key>favourites</key><array><string>Fade</string></array>
</dict></plist>
)";

// --- write -----------------------------------------------------------------

TEST_F(SettingsPaneTest, WritesTypedValuesKeepsEveryOtherKeyAndPostsOnce) {
  writeFile(kExistingFile);
  const PaneRun run = pane({"write", "style", "-string", "Fade", "homeBarOpacity", "-float", "0.5", "fadeSpeed", "-int", "3",
                        "breathingColor", "-string", "#2ABB9B:0.5"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.posts, kPosted);
  const auto d = contents();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 6u);
  EXPECT_EQ(d->boolValue("enabled"), true);
  EXPECT_EQ(d->stringValue("style"), "Fade");
  EXPECT_TRUE(std::holds_alternative<double>(d->objectForKey("homeBarOpacity")->storage));
  EXPECT_EQ(d->doubleValue("homeBarOpacity"), 0.5);
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(d->objectForKey("fadeSpeed")->storage));  // as asked
  EXPECT_EQ(d->integerValue("fadeSpeed"), 3);
  EXPECT_EQ(d->stringValue("breathingColor"), "#2ABB9B:0.5");
  EXPECT_EQ(d->stringArray("favourites"), std::vector<std::string>{"Fade"});
}

TEST_F(SettingsPaneTest, MakesTheFileAndItsFoldersWhenMissing) {
  const PaneRun run = pane({"write", "enabled", "-bool", "YES"});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(contents());
  EXPECT_EQ(contents()->boolValue("enabled"), true);
  EXPECT_EQ(bytes().substr(0, 5), "<?xml");
}

TEST_F(SettingsPaneTest, BinaryWritesABinaryPropertyListAndXmlIsTheDefault) {
  EXPECT_EQ(pane({"--binary", "write", "enabled", "-bool", "1"}).status, 0);
  EXPECT_EQ(bytes().substr(0, 8), "bplist00");
  EXPECT_EQ(pane({"write", "style", "-string", "Static"}).status, 0);
  EXPECT_EQ(bytes().substr(0, 5), "<?xml");
  EXPECT_EQ(pane({"delete", "style", "--binary"}).status, 0);
  EXPECT_EQ(bytes().substr(0, 8), "bplist00");
  EXPECT_EQ(contents()->count(), 1u);
  EXPECT_EQ(contents()->boolValue("enabled"), true);
}

TEST_F(SettingsPaneTest, UnknownKeysAreWrittenWithAWarning) {
  const PaneRun run = pane({"write", "sparkle", "-string", "lots", "enabled", "-bool", "no"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "auroraribbon-prefs: warning: 'sparkle' is not a key AuroraRibbon reads; writing it anyway\n");
  EXPECT_EQ(run.posts, kPosted);
  EXPECT_EQ(contents()->stringValue("sparkle"), "lots");
}

// --- Refusals ------------------------------------------------------------------

class SettingsPaneRefusalTest : public SettingsPaneTest, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(SettingsPaneRefusalTest, LeavesTheFileByteForByteAndPostsNothing) {
  writeFile(kExistingFile);
  const PaneRun run = pane(GetParam());
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.starts_with("auroraribbon-prefs: ")) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.posts, std::vector<std::string>{});
  EXPECT_EQ(bytes(), kExistingFile);
}

TEST_P(SettingsPaneRefusalTest, MakesNoFileWhereThereWasNone) {
  EXPECT_EQ(pane(GetParam()).status, 2);
  EXPECT_FALSE(std::filesystem::exists(file()));
  EXPECT_FALSE(std::filesystem::exists(file().parent_path()));
}

using Args = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    BadValuesAndCommandLines, SettingsPaneRefusalTest,
    ::testing::Values(Args{"write", "enabled", "-string", "yes"}, Args{"write", "homeBarOpacity", "-float", "abc"},
                      Args{"write", "fadeSpeed", "-float", "inf"}, Args{"write", "fadeColor1", "-string", "#12"},
                      Args{"write", "style", "-string", "wave"}, Args{"write", "waveDirection", "-string", "up"},
                      Args{"write", "other", "-int", "99999999999999999999"},
                      // one bad item refuses the whole command
                      Args{"write", "style", "-string", "Fade", "enabled", "-string", "1"},
                      // bad command lines
                      Args{"write", "enabled"}, Args{"write", "enabled", "-boolean", "1"},
                      Args{"erase"}, Args{}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// --- A file the device cannot read -----------------------------------------

TEST_F(SettingsPaneTest, AFileThatIsNotAPropertyListIsNeverChanged) {
  const std::string junk = "<?xml version=\"1.0\"?><plist><dict><key>enabled</key><tru";
  writeFile(junk);
  for (const Args& args : {Args{"write", "enabled", "-bool", "1"}, Args{"delete", "enabled"}, Args{"read"},
                           Args{"read", "enabled"}}) {
    const PaneRun run = pane(args);
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_NE(run.err.find("is not a preferences dictionary the device could read; leaving it untouched"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.posts, std::vector<std::string>{});
    EXPECT_EQ(bytes(), junk);
  }
  // Deleting the whole file is the way out.
  const PaneRun removed = pane({"delete"});
  EXPECT_EQ(removed.status, 0);
  EXPECT_EQ(removed.posts, kPosted);
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(SettingsPaneTest, AnUnwritableRootIsStatus1WithTheReason) {
  root_.write("/var", "a file where the folder should be");
  const PaneRun run = pane({"write", "enabled", "-bool", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("auroraribbon-prefs: cannot make the folder"), std::string::npos) << run.err;
  EXPECT_EQ(run.posts, std::vector<std::string>{});
}

TEST_F(SettingsPaneTest, ARootThatIsNotADirectoryIsStatus1) {
  const PaneRun run = pane({"--root", (root_.path() / "nowhere").string(), "write", "enabled", "-bool", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "auroraribbon-prefs: the device root '" + (root_.path() / "nowhere").string() + "' is not a directory\n");
  EXPECT_FALSE(std::filesystem::exists(root_.path() / "nowhere"));
}

// --- read ----------------------------------------------------------------------

TEST_F(SettingsPaneTest, ReadPrintsTheDictionaryOrOneValue) {
  writeFile(kExistingFile);
  EXPECT_EQ(pane({"read"}).out, "{\n    enabled = 1;\n    favourites = (\n        Fade\n    );\n    style = Wave;\n}\n");
  EXPECT_EQ(pane({"read", "style"}).out, "Wave\n");
  EXPECT_EQ(pane({"read", "enabled"}).out, "1\n");
  const PaneRun run = pane({"read"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.posts, std::vector<std::string>{});  // reading changes nothing
}

TEST_F(SettingsPaneTest, ReadShowsAColourStringAsItIs) {
  EXPECT_EQ(pane({"write", "fadeColor1", "-string", "#F62459"}).status, 0);
  EXPECT_EQ(pane({"read", "fadeColor1"}).out, "#F62459\n");
  EXPECT_EQ(pane({"read"}).out, "{\n    fadeColor1 = \"#F62459\";\n}\n");
}

TEST_F(SettingsPaneTest, ReadingAMissingKeyOrFileIsStatus1) {
  const PaneRun noFile = pane({"read"});
  EXPECT_EQ(noFile.status, 1);
  EXPECT_EQ(noFile.err, std::string("auroraribbon-prefs: there is no preferences file at ") + kPreferencesDevicePath + "\n");
  writeFile(kExistingFile);
  const PaneRun noKey = pane({"read", "fadeSpeed"});
  EXPECT_EQ(noKey.status, 1);
  EXPECT_EQ(noKey.out, "");
  EXPECT_EQ(noKey.err, "auroraribbon-prefs: the preferences file has no key 'fadeSpeed'\n");
}

// --- delete ---------------------------------------------------------------------

TEST_F(SettingsPaneTest, DeleteRemovesOneKeyAndPosts) {
  writeFile(kExistingFile);
  const PaneRun run = pane({"delete", "style"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.posts, kPosted);
  EXPECT_FALSE(contents()->containsKey("style"));
  EXPECT_EQ(contents()->count(), 2u);
}

TEST_F(SettingsPaneTest, DeletingAMissingKeyChangesNothingAndPostsNothing) {
  writeFile(kExistingFile);
  const PaneRun run = pane({"delete", "fadeSpeed"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "auroraribbon-prefs: the preferences file has no key 'fadeSpeed'\n");
  EXPECT_EQ(run.posts, std::vector<std::string>{});
  EXPECT_EQ(bytes(), kExistingFile);
}

TEST_F(SettingsPaneTest, DeleteWithoutAKeyRemovesTheFile) {
  writeFile(kExistingFile);
  const PaneRun run = pane({"delete"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.posts, kPosted);
  EXPECT_FALSE(std::filesystem::exists(file()));
  for (const Args& args : {Args{"delete"}, Args{"delete", "style"}}) {
    const PaneRun again = pane(args);
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, std::string("auroraribbon-prefs: there is no preferences file at ") + kPreferencesDevicePath + "\n");
    EXPECT_EQ(again.posts, std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace prefs
