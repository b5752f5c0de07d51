// Running scenario commands on the main run loop: their instants and order,
// what each does, and how a failing command stops the run.
#include "ScenarioRunner.h"

#include <cstdlib>

#include <cairo.h>

#include <gtest/gtest.h>

#include "Foundation/NSDictionary.h"
#include "ScriptParser.h"
#include "SimTestSupport.h"
#include "TempDir.h"
#include "TraceForm.h"
#include "TraceWriter.h"

namespace sim {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

class ScenarioRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
    ::setenv("AURORARIBBON_ROOT", dir_.path().c_str(), 1);  // where a post looks for other processes
  }
  void TearDown() override { ::unsetenv("AURORARIBBON_ROOT"); }

  // Runs `text` for `duration` and returns its events.
  std::vector<json> run(std::string_view text, aurora::Nanoseconds duration = 10s) {
    script_ = parseScript("s.txt", text, PillClasses{{"MTStaticColorPillView", "MTLumaDodgePillView"}, {}});
    Scene scene;
    TraceWriter writer(trace_, TraceFlush::AtEnd);
    scene.setPillNaming(&writer);
    test::ObserverScope tracing(writer);
    ScenarioRunner runner(script_, scene, prefs_);
    runner.schedule();
    NSRunLoop::mainRunLoop().runFor(duration);
    return test::traceEvents(trace_.str());
  }

  // The events as "t ev id prop" lines, for order checks.
  static std::vector<std::string> summary(const std::vector<json>& events) {
    std::vector<std::string> lines;
    for (const json& e : events) {
      std::string line = e["t"].dump() + " " + e["ev"].get<std::string>();
      for (const char* key : {"parent", "id", "prop", "name"}) {
        if (e.contains(key)) line += " " + e[key].get<std::string>();
      }
      lines.push_back(line);
    }
    return lines;
  }

  test::TempDir dir_;
  std::filesystem::path prefsPath_ = dir_ / "prefs.plist";
  PrefsFile prefs_{prefsPath_};
  Script script_;
  std::ostringstream trace_;
};

TEST_F(ScenarioRunnerTest, RunsCommandsAtTheirInstantsBeforeOtherWorkInFileOrder) {
  const auto events = run(
      "at 0 pill add p MTLumaDodgePillView 0 0 10 4\n"
      "at 0.5 pill frame p 0 0 20 8\n"
      "at 0.5 pill addview p 7\n"
      "at 1 pill remove p\n");
  EXPECT_EQ(summary(events), (std::vector<std::string>{
                                 "0 new p", "0 set p backgroundColor", "0 set p layer.cornerRadius",
                                 "0.5 set p frame", "0.5 new v1", "0.5 set v1 tag", "0.5 add p v1",
                                 "0.5 set p layer.cornerRadius",  // the layout pass, after the commands
                                 "1 remove p", "1 destroy p", "1 destroy v1"}));
  EXPECT_EQ(events[2]["value"], 2);
  EXPECT_EQ(events[7]["value"], 4);
  EXPECT_EQ(test::traceFormProblems(trace_.str()), std::vector<std::string>{});
}

TEST_F(ScenarioRunnerTest, LaysOutAndSendsMessagesNow) {
  const auto events = run(
      "at 0 pill add p MTStaticColorPillView 0 0 10 4\n"
      "at 1 pill layout p\n"
      "at 2 pill send p layoutSubviews\n");
  EXPECT_EQ(summary(events), (std::vector<std::string>{"0 new p", "0 set p backgroundColor", "0 set p layer.cornerRadius",
                                                       "1 set p layer.cornerRadius", "2 set p layer.cornerRadius"}));
}

TEST_F(ScenarioRunnerTest, AMessageThePillDoesNotAnswerStopsTheRunWithItsLine) {
  try {
    run("at 0 pill add p MTLumaDodgePillView 0 0 10 4\nat 1 pill send p frobnicate\n");
    FAIL() << "the run went on";
  } catch (const ScenarioFailure& failure) {
    EXPECT_STREQ(failure.what(), "s.txt:2: -[MTLumaDodgePillView frobnicate]: unrecognized selector sent to instance");
  }
  EXPECT_EQ(NSRunLoop::mainRunLoop().now(), aurora::Nanoseconds{1s});
}

TEST_F(ScenarioRunnerTest, PrefsCommandsEditTheFileAndPostNothing) {
  const auto events = run(
      "at 0 prefs set enabled bool true\n"
      "at 1 prefs format binary\n"
      "at 1 prefs set speed real 0.5\n"
      "at 1 prefs set style string Fade\n"
      "at 2 prefs unset enabled\n");
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(test::readFile(prefsPath_).substr(0, 8), "bplist00");
  const auto dictionary = NSDictionary::fromFile(prefsPath_);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->count(), 2u);
  EXPECT_EQ(dictionary->doubleValue("speed"), 0.5);
  EXPECT_EQ(dictionary->stringValue("style"), "Fade");
}

TEST_F(ScenarioRunnerTest, RawBytesAreKeptFromLaterEditsAndCanBeDeleted) {
  EXPECT_THROW(run("at 0 prefs raw \"junk\\n\"\nat 1 prefs set enabled bool true\n"), ScenarioFailure);
  EXPECT_EQ(test::readFile(prefsPath_), "junk\n");
  run("at 0 prefs delete\n");
  EXPECT_FALSE(std::filesystem::exists(prefsPath_));
}

TEST_F(ScenarioRunnerTest, NotifyPostsTheSettingsChangedNotificationOrAName) {
  const auto events = run("at 1 notify\nat 2 notify other.name\n");
  EXPECT_EQ(summary(events), (std::vector<std::string>{"1 post com.quillmoren.auroraribbon.settingschanged", "2 post other.name"}));
}

TEST_F(ScenarioRunnerTest, SwitchesTheRunLoopModeAndEnds) {
  run("at 1 runloop mode tracking\nat 2 end\n");
  EXPECT_EQ(NSRunLoop::mainRunLoop().currentMode(), UITrackingRunLoopMode);
  EXPECT_EQ(NSRunLoop::mainRunLoop().now(), aurora::Nanoseconds{2s});
}

TEST_F(ScenarioRunnerTest, SnapshotsWriteTheScreenAsItStandsWhenTheCommandRuns) {
  const auto file = dir_ / "out.png";
  run("at 0 pill add a MTStaticColorPillView 0 0 10 4\nat 1 snapshot \"" + file.string() + "\"\n");
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  EXPECT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 1170);  // the full window at 3 pixels per point
  EXPECT_EQ(cairo_image_surface_get_height(png), 2532);
  cairo_surface_destroy(png);
}

TEST_F(ScenarioRunnerTest, ASnapshotThatCannotBeWrittenFailsTheRun) {
  const auto file = dir_ / "missing/out.png";
  try {
    run("at 1 snapshot \"" + file.string() + "\"\n");
    FAIL() << "the snapshot pretended to work";
  } catch (const ScenarioFailure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind("s.txt:1: cannot write the PNG ", 0), 0u) << failure.what();
  }
}

}  // namespace
}  // namespace sim
