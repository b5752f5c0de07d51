// The built auroraribbon-sim, run as a user runs it: help, a headless run,
// the trace, and every exit status.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "Foundation/NSDictionary.h"
#include "Program.h"
#include "SimTestSupport.h"
#include "TempDir.h"
#include "TraceForm.h"

namespace sim {
namespace {

using nlohmann::json;

class SimSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(root_); }

  test::ProgramResult sim(std::vector<std::string> args) const {
    args.insert(args.begin(), AURORA_SIM_BINARY);
    return test::runProgram(args, dir_.path());
  }
  // A run on the empty root with the trace on standard output.
  test::ProgramResult traced(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--root", root_.string(), "--trace", "-"});
    return sim(std::move(args));
  }

  std::filesystem::path prefsFile() const { return root_ / "var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist"; }

  test::TempDir dir_;  // the working directory
  std::filesystem::path root_ = dir_ / "root";
};

TEST_F(SimSmokeTest, HelpListsTheOptions) {
  const auto result = sim({"--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("--root DIR"), std::string::npos);
  EXPECT_NE(result.out.find("--trace FILE|-"), std::string::npos);
  EXPECT_NE(result.out.find("Exit status"), std::string::npos);
}

TEST_F(SimSmokeTest, AHeadlessRunOnAnEmptyRootTracesTheDefaultPills) {
  const auto result = traced({"--duration", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(test::traceFormProblems(result.out), std::vector<std::string>{});
  EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "{\"ev\":\"trace\",\"version\":1}");
  const auto events = test::traceEvents(result.out);
  const auto made = test::eventsOf(events, "new");
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0], (json{{"t", 0}, {"ev", "new"}, {"id", "static"}, {"class", "MTStaticColorPillView"}, {"frame", {40, 831, 134, 5}}}));
  EXPECT_EQ(made[1], (json{{"t", 0}, {"ev", "new"}, {"id", "luma"}, {"class", "MTLumaDodgePillView"}, {"frame", {216, 831, 134, 5}}}));
  EXPECT_TRUE(test::eventsOf(events, "add").empty());  // into the window, which is not traced
  EXPECT_EQ(test::eventsOf(events, "set").size(), 4u);  // each pill's grey and its corner radius
}

TEST_F(SimSmokeTest, WritesTheTraceToAFile) {
  const auto result = sim({"--root", root_.string(), "--trace", "run.jsonl", "--duration", "0"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(test::traceFormProblems(test::readFile(dir_ / "run.jsonl")), std::vector<std::string>{});
}

TEST_F(SimSmokeTest, WritesStyleAndSettingsBeforeStartUp) {
  EXPECT_EQ(sim({"--root", root_.string(), "--style", "Fade", "--set", "homeBarOpacity=0.5", "--duration", "0"}).status, 0);
  const auto prefs = NSDictionary::fromFile(prefsFile());
  ASSERT_TRUE(prefs);
  EXPECT_EQ(prefs->stringValue("style"), "Fade");
  EXPECT_EQ(prefs->doubleValue("homeBarOpacity"), 0.5);
}

TEST_F(SimSmokeTest, APreferencesFileTheDeviceCannotReadIsLeftAloneWithStatus1) {
  const auto file = dir_.write("root/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist", "half a pli");
  const auto result = sim({"--root", root_.string(), "--style", "Fade"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("is not a preferences dictionary the device could read; leaving it untouched"), std::string::npos);
  EXPECT_EQ(test::readFile(file), "half a pli");
}

TEST_F(SimSmokeTest, ABadScriptStopsEverythingWithStatus2) {
  dir_.write("bad.txt", "at 0 notify\n\nat 1 pill layout ghost\n");
  const auto result = sim({"--root", root_.string(), "--script", "bad.txt", "--set", "enabled=true", "--trace", "t.jsonl"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "bad.txt:3: the pill 'ghost' is used before it is added\n");
  EXPECT_FALSE(std::filesystem::exists(prefsFile()));  // nothing ran
  EXPECT_FALSE(std::filesystem::exists(dir_ / "t.jsonl"));
}

TEST_F(SimSmokeTest, AMissingRootIsStatus1) {
  const auto result = sim({"--root", "nowhere"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "auroraribbon-sim: the device root \"nowhere\" is not a directory\n");
}

TEST_F(SimSmokeTest, AnUnknownOptionIsStatus2WithTheUsage) {
  const auto result = sim({"--colour", "red"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("--colour"), std::string::npos);
  EXPECT_NE(result.err.find("Usage: auroraribbon-sim"), std::string::npos);
}

TEST_F(SimSmokeTest, AMessageThePillDoesNotAnswerIsStatus1AndKeepsTheTrace) {
  dir_.write("send.txt", "at 0 pill add p MTLumaDodgePillView 0 0 10 4\nat 1 pill send p frobnicate\n");
  const auto result = traced({"--script", "send.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "auroraribbon-sim: send.txt:2: -[MTLumaDodgePillView frobnicate]: unrecognized selector sent to instance\n");
  EXPECT_EQ(test::eventsOf(test::traceEvents(result.out), "new").at(0)["id"], "p");
}

TEST_F(SimSmokeTest, ASnapshotThatCannotBeWrittenIsStatus1) {
  dir_.write("shot.txt", "at 1 snapshot missing/shot.png\n");
  const auto result = sim({"--root", root_.string(), "--script", "shot.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("shot.txt:1: cannot write the PNG \"missing/shot.png\""), std::string::npos) << result.err;
}

TEST_F(SimSmokeTest, AClassLeftOutMakesNoPill) {
  const auto result = traced({"--without-class", "MTLumaDodgePillView", "--duration", "0"});
  EXPECT_EQ(result.status, 0);
  const auto made = test::eventsOf(test::traceEvents(result.out), "new");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]["id"], "static");
}

TEST_F(SimSmokeTest, AScriptRunsToItsLastCommandOrItsEnd) {
  dir_.write("late.txt", "at 0 pill add a MTStaticColorPillView 0 0 10 4\nat 12.5 pill frame a 0 0 20 6\n");
  const auto late = test::traceEvents(traced({"--script", "late.txt"}).out);
  EXPECT_EQ(late.back()["t"], 12.5);

  dir_.write("ended.txt", "at 0 pill add a MTStaticColorPillView 0 0 10 4\nat 1 end\n");
  const auto ended = traced({"--script", "ended.txt"});
  EXPECT_EQ(ended.status, 0);
  EXPECT_EQ(test::eventsOf(test::traceEvents(ended.out), "new").size(), 1u);  // no default pills with a script
}

TEST_F(SimSmokeTest, ALibraryThatFailsToLoadIsReportedAndSkipped) {
  dir_.write("root/Library/MobileSubstrate/DynamicLibraries/Broken.dylib", "not a library");
  const auto result = traced({"--duration", "0"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.err.find("Broken.dylib"), std::string::npos);
  EXPECT_TRUE(test::eventsOf(test::traceEvents(result.out), "load").empty());
  EXPECT_EQ(test::eventsOf(test::traceEvents(result.out), "new").size(), 2u);
}

TEST_F(SimSmokeTest, TheHostsIdentityDecidesWhichLibrariesAreMeantForIt) {
  const std::string libraries = "root/Library/MobileSubstrate/DynamicLibraries/";
  const auto filter = [](const char* key, const char* value) {
    return fmt::format("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Filter</key><dict><key>{}</key>"
                       "<array><string>{}</string></array></dict></dict></plist>", key, value);
  };
  dir_.write(libraries + "ForBundle.dylib", "not a library");
  dir_.write(libraries + "ForBundle.plist", filter("Bundles", "com.example.other"));
  dir_.write(libraries + "ForExecutable.dylib", "not a library");
  dir_.write(libraries + "ForExecutable.plist", filter("Executables", "Other"));

  EXPECT_EQ(sim({"--root", root_.string(), "--duration", "0"}).err, "");  // neither is for the home screen
  const auto asBundle = sim({"--root", root_.string(), "--duration", "0", "--bundle-id", "com.example.other"});
  EXPECT_NE(asBundle.err.find("ForBundle.dylib"), std::string::npos);
  EXPECT_EQ(asBundle.err.find("ForExecutable.dylib"), std::string::npos);
  const auto asExecutable = sim({"--root", root_.string(), "--duration", "0", "--executable", "Other"});
  EXPECT_EQ(asExecutable.err.find("ForBundle.dylib"), std::string::npos);
  EXPECT_NE(asExecutable.err.find("ForExecutable.dylib"), std::string::npos);
}

}  // namespace
}  // namespace sim
