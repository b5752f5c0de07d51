// The settings pane in-process from its command line: what it writes, reads, deletes and posts; refusals touch nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "Foundation/NSDictionary.h"
#include "ReadFile.h"
#include "SettingsPane.h"
#include "TempDeviceRoot.h"
#include "aurora/PlatformObserver.h"

namespace prefs {
namespace {

using Args = std::vector<std::string>;
using Posts = std::vector<std::string>;

struct PaneRun {
  int status;
  std::string out, err;
  Posts posts;
};

const Posts kPosted{settings::kSettingsChangedNotification};

constexpr const char* kExistingFile = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
  <key>enabled</key><true/><key>style</key><string>Wave</string><key>fadeColor1</key><string>#F62459</string><key>odd key</key>
  <real>0.5</real><key>favourites</key><array><string>Fade</string><array/><dict><key>k</key><integer>-3</integer></dict></array>
</dict></plist>)";

// Runs the pane as its main() does, on the test's device root, recording what it posts.
class SettingsPaneTest : public ::testing::Test, public aurora::PlatformObserver {
 protected:
  PaneRun pane(Args args) {
    args.insert(args.begin(), "auroraribbon-prefs");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    posts_.clear();
    const aurora::ObserverRegistration listening(*this);
    auto parsed = parseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    const int status = std::holds_alternative<int>(parsed) ? std::get<int>(parsed)
                                                           : runSettingsPane(std::get<Invocation>(parsed), out, err);
    return {status, out.str(), err.str(), posts_};
  }
  void notificationPosted(std::string_view name) override { posts_.emplace_back(name); }

  std::filesystem::path file() const { return aurora::hostPath(settings::kPreferencesPath); }
  std::string bytes() const { return host::test::readFile(file()); }
  void writeFile(std::string_view contents) const { root_.write(settings::kPreferencesPath, contents); }

  // Runs `args` on `existing` (no file when empty); it must end with `status`, print, post and change nothing; its
  // error.
  std::string failing(const std::string& existing, const Args& args, int status) {
    SCOPED_TRACE(::testing::PrintToString(args));
    std::filesystem::remove_all(root_.path() / "var");
    if (!existing.empty()) writeFile(existing);
    const PaneRun run = pane(args);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.posts, Posts{});
    if (!existing.empty())
      EXPECT_EQ(bytes(), existing);
    else
      EXPECT_FALSE(std::filesystem::exists(file().parent_path()));
    return run.err;
  }

  aurora::testing::TempDeviceRoot root_;
  Posts posts_;
};

// It warns of keys the library does not read, and posts once.
TEST_F(SettingsPaneTest, WritesTypedValuesAndKeepsEveryOtherKey) {
  writeFile(kExistingFile);
  // After the first key, words that look like options are values.
  const PaneRun run = pane({"write", "style", "-string", "Fade", "homeBarOpacity", "-float", "0.5", "fadeSpeed", "-int",
                            "-3", "breathingColor", "-string", "#2ABB9B:0.5", "sparkle", "-string", "--help"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "auroraribbon-prefs: warning: 'sparkle' is not a key AuroraRibbon reads; writing it anyway\n");
  EXPECT_EQ(run.posts, kPosted);
  const auto written = NSDictionary::fromFile(file());
  ASSERT_TRUE(written);
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(written->objectForKey("fadeSpeed")->storage));  // as asked
  EXPECT_EQ(
      pane({"read"}).out,
      "{\n    breathingColor = \"#2ABB9B:0.5\";\n    enabled = 1;\n    fadeColor1 = \"#F62459\";\n    fadeSpeed = -3;\n"
      "    favourites = (\n        Fade,\n        (\n        ),\n        {\n            k = -3;\n        }\n    );\n"
      "    homeBarOpacity = 0.5;\n    \"odd key\" = 0.5;\n    sparkle = \"--help\";\n    style = Fade;\n}\n");
  const PaneRun read = pane({"read", "fadeColor1"});
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out, "#F62459\n");  // alone, a string is shown as it is
  EXPECT_EQ(read.posts, Posts{});    // reading changes nothing
  EXPECT_EQ(pane({"read", "fadeSpeed"}).out, "-3\n");
}

// Deleting one key rewrites the file in the format asked for; deleting all removes it.
TEST_F(SettingsPaneTest, WritesXmlUnlessAskedForBinary) {
  for (const auto& [args, magic] :
       std::vector<std::pair<Args, std::string>>{{{"write", "enabled", "-bool", "YES"}, "<?xml"},
                                                 {{"--binary", "write", "fadeSpeed", "-int", "2"}, "bplist00"},
                                                 {{"write", "style", "-string", "Static"}, "<?xml"},
                                                 {{"delete", "style", "--binary"}, "bplist00"}}) {
    const PaneRun run = pane(args);
    EXPECT_EQ(run.status, 0) << args.back();
    EXPECT_EQ(run.posts, kPosted) << args.back();
    EXPECT_EQ(bytes().substr(0, magic.size()), magic) << args.back();
  }
  EXPECT_EQ(pane({"read"}).out, "{\n    enabled = 1;\n    fadeSpeed = 2;\n}\n");
  const PaneRun removed = pane({"delete"});
  EXPECT_EQ(removed.status, 0);
  EXPECT_EQ(removed.posts, kPosted);
  EXPECT_FALSE(std::filesystem::exists(file()));
}

// A bad command line is refused with the usage, a bad value with the reason alone; with a file or without.
TEST_F(SettingsPaneTest, BadCommandLinesAndValuesAreStatus2) {
  const std::vector<std::string> files{"", kExistingFile};
  for (const auto& [args, reason] : std::vector<std::pair<Args, std::string>>{
           {{}, "a command is needed: read, write or delete"},
           {{"frobnicate"}, "unknown command 'frobnicate' (read, write or delete)"},
           {{"read", "a", "b"}, "not expected: b"},
           {{"--colour", "read"}, "--colour"},
           {{"write"}, "ITEMS is required"},
           {{"write", "enabled"}, "write: enabled needs -TYPE VALUE"},
           {{"write", "enabled", "-bool"}, "write: enabled -bool needs a value"},
           {{"write", "enabled", "-boolean", "1"}, "write: expected -bool, -int, -float or -string, got '-boolean'"},
           {{"write", "a", "-bool", "1", "--binary"}, "'--binary' is not a key: options go before"},
           {{"write", "", "-bool", "1"}, "a key must not be empty"}}) {
    for (const std::string& file : files) {
      const std::string err = failing(file, args, 2);
      EXPECT_TRUE(err.starts_with("auroraribbon-prefs: ")) << err;
      EXPECT_NE(err.find(reason), std::string::npos) << err;
      EXPECT_NE(err.find("Usage"), std::string::npos) << err;
    }
  }
  const std::string color = "-string, a colour: #RRGGBB or #RGB (hex digits), optionally :ALPHA (0 to 1)";
  const std::string styles = "-string, one of Wave, Spectrum, Fade, Breathing, Static";
  const std::string notInt = "is not a -int value (a decimal integer that fits in 64 bits)";
  for (const auto& [args, reason] : std::vector<std::pair<Args, std::string>>{
           {{"write", "enabled", "-string", "yes"}, "enabled takes -bool, not -string"},
           {{"write", "homeBarOpacity", "-string", "0.5"}, "homeBarOpacity takes -float or -int, not -string"},
           {{"write", "homeBarOpacity", "-bool", "1"}, "homeBarOpacity takes -float or -int, not -bool"},
           {{"write", "fadeColor1", "-int", "255"}, "fadeColor1 takes " + color + ", not -int"},
           {{"write", "style", "-bool", "1"}, "style takes " + styles + ", not -bool"},
           {{"write", "enabled", "-bool", "maybe"},
            "enabled: 'maybe' is not a -bool value (true, false, yes, no, 1 or 0)"},
           {{"write", "fadeSpeed", "-int", "1.5"}, "fadeSpeed: '1.5' " + notInt},
           {{"write", "other", "-int", "99999999999999999999"}, "other: '99999999999999999999' " + notInt},
           {{"write", "mine", "-float", "x"},
            "mine: 'x' is not a -float value (a finite decimal number such as 0.5 or 1e-3)"},
           {{"write", "fadeColor1", "-string", "#12"}, "fadeColor1: '#12' does not fit; it takes " + color},
           {{"write", "style", "-string", "wave"}, "style: 'wave' does not fit; it takes " + styles},
           {{"write", "waveDirection", "-string", "up"},
            "waveDirection: 'up' does not fit; it takes -string, l2r or r2l"},
           {{"write", "note", "-string", "x\001y"}, "note: the text holds U+0001, which XML cannot carry"},
           // one bad item refuses the whole command
           {{"write", "style", "-string", "Fade", "enabled", "-string", "1"}, "enabled takes -bool, not -string"}}) {
    for (const std::string& file : files)
      EXPECT_EQ(failing(file, args, 2), "auroraribbon-prefs: " + reason + "; nothing was written\n");
  }
}

// A missing file or key, a file or root the pane cannot use.
TEST_F(SettingsPaneTest, WhatIsMissingOrUnusableIsStatus1) {
  const std::string noFile =
      std::string("auroraribbon-prefs: there is no preferences file at ") + settings::kPreferencesPath + "\n";
  for (const Args& args : {Args{"read"}, Args{"delete"}, Args{"delete", "style"}})
    EXPECT_EQ(failing("", args, 1), noFile);
  for (const Args& args : {Args{"read", "fadeSpeed"}, Args{"delete", "fadeSpeed"}}) {
    EXPECT_EQ(failing(kExistingFile, args, 1), "auroraribbon-prefs: the preferences file has no key 'fadeSpeed'\n");
  }
  const std::string junk = "<?xml version=\"1.0\"?><plist><dict><key>enabled</key><tru";
  for (const Args& args : {Args{"write", "enabled", "-bool", "1"}, Args{"delete", "enabled"}, Args{"read"}}) {
    const std::string err = failing(junk, args, 1);
    EXPECT_NE(err.find("is not a preferences dictionary the device could read; leaving it untouched"),
              std::string::npos)
        << err;
  }
  const std::string nowhere = (root_.path() / "nowhere").string();
  EXPECT_EQ(failing("", {"write", "--root=" + nowhere, "enabled", "-bool", "1"}, 1),
            "auroraribbon-prefs: the device root '" + nowhere + "' is not a directory\n");
  EXPECT_FALSE(std::filesystem::exists(nowhere));
  root_.write("/var", "a file where the folder should be");
  const PaneRun unwritable = pane({"write", "enabled", "-bool", "1"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("auroraribbon-prefs: cannot make the folder"), std::string::npos) << unwritable.err;
  EXPECT_EQ(unwritable.posts, Posts{});
  // Deleting the whole file is the way out of one the device cannot read.
  std::filesystem::remove_all(root_.path() / "var");
  writeFile(junk);
  const PaneRun removed = pane({"delete"});
  EXPECT_EQ(removed.status, 0);
  EXPECT_EQ(removed.posts, kPosted);
  EXPECT_FALSE(std::filesystem::exists(file()));
}

}  // namespace
}  // namespace prefs
