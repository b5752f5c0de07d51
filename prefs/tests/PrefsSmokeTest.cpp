// The built auroraribbon-prefs program: help, a write read back, and the exit
// statuses of a bad command line and an unwritable root.
#include <gtest/gtest.h>

#include "Foundation/NSDictionary.h"
#include "Program.h"
#include "TempDir.h"

namespace {

using sim::test::ProgramResult;
using sim::test::TempDir;

class PrefsSmokeTest : public ::testing::Test {
 protected:
  ProgramResult prefs(std::vector<std::string> args) const {
    args.insert(args.begin(), AURORA_PREFS_BINARY);
    return sim::test::runProgram(args, dir_.path());
  }
  std::filesystem::path prefsFile() const { return root_ / "var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist"; }

  TempDir dir_;
  std::filesystem::path root_ = dir_.write("root/.keep", "").parent_path();
};

TEST_F(PrefsSmokeTest, HelpIsStatus0) {
  const ProgramResult result = prefs({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("auroraribbon-prefs"), std::string::npos);
  EXPECT_NE(result.out.find("write"), std::string::npos);
  EXPECT_EQ(result.err, "");
}

TEST_F(PrefsSmokeTest, WritesAndReadsBackUnderTheRoot) {
  const ProgramResult written = prefs({"--root", "root", "write", "enabled", "-bool", "true", "style", "-string", "Fade"});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.err, "");
  const auto dictionary = NSDictionary::fromFile(prefsFile());
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->boolValue("enabled"), true);
  EXPECT_EQ(dictionary->stringValue("style"), "Fade");
  const ProgramResult read = prefs({"--root", "root", "read"});
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out, "{\n    enabled = 1;\n    style = Fade;\n}\n");
}

TEST_F(PrefsSmokeTest, ABadCommandLineIsStatus2WithTheUsage) {
  const ProgramResult result = prefs({"--root", "root", "write", "enabled", "-string", "on"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "auroraribbon-prefs: enabled takes -bool, not -string; nothing was written\n");
  EXPECT_FALSE(std::filesystem::exists(prefsFile()));
  const ProgramResult unknown = prefs({"--colour", "red", "read"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("Usage"), std::string::npos);
}

TEST_F(PrefsSmokeTest, AnUnwritableRootIsStatus1) {
  dir_.write("root/var/mobile", "a file where a folder should be");
  const ProgramResult result = prefs({"--root", "root", "write", "enabled", "-bool", "true"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot make the folder"), std::string::npos) << result.err;
}

}  // namespace
