// The whole system from load to screen: the built simulator loads the real
// extension from a copy of the demo root, runs a scenario script, and its
// trace shows what the pills did.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Program.h"
#include "aurora/DeviceRoot.h"
#include "SimTestSupport.h"
#include "TempDir.h"
#include "TraceForm.h"

namespace {

using nlohmann::json;
using sim::test::eventsOf;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    aurora::copyDeviceRoot(AURORA_DEMO_ROOT, dir.path() / "root");
  }

  // Runs `script` and returns the trace's events (the run must succeed and the trace be well formed).
  std::vector<json> run(const std::string& script) {
    const auto scriptPath = dir.path() / "scenario.txt";
    std::ofstream(scriptPath) << script;
    const auto tracePath = dir.path() / "trace.jsonl";
    auto result = sim::test::runProgram({AURORA_SIM_BINARY, "--root", (dir.path() / "root").string(), "--script",
                                         scriptPath.string(), "--trace", tracePath.string()},
                                        dir.path());
    EXPECT_EQ(result.status, 0) << result.err;
    std::ifstream in(tracePath);
    const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(sim::test::traceFormProblems(trace), std::vector<std::string>{});
    return sim::test::traceEvents(trace);
  }

  // The events about one id (as `id`, `parent`, `timer` or `anim`).
  static std::vector<json> about(const std::vector<json>& events, const std::string& id) {
    std::vector<json> found;
    for (const auto& e : events) {
      for (const char* key : {"id", "parent", "timer", "anim"}) {
        if (e.contains(key) && e[key] == id) {
          found.push_back(e);
          break;
        }
      }
    }
    return found;
  }

  sim::test::TempDir dir;
};

TEST_F(EndToEndTest, StaticPillRunsTheSpectrumFromItsCreatingPass) {
  auto events = run(R"(at 0 prefs set enabled bool true
at 0 prefs set style string Spectrum
at 0 prefs set homeBarOpacity real 0.5
at 0 prefs set specturmAnimationSpeed real 0.1
at 0 notify
at 0.5 pill add p MTStaticColorPillView 40 831 134 5
at 3 end
)");
  auto colorView = about(events, "v1");
  ASSERT_GE(colorView.size(), 6u);
  EXPECT_EQ(colorView[0]["ev"], "new");
  EXPECT_EQ(colorView[0]["class"], "ColorPillView");
  EXPECT_EQ(colorView[0]["frame"], json::parse("[0,0,134,5]"));
  EXPECT_EQ(colorView[0]["t"], 0.5);

  // The creating pass after construction, then the next pass (addSubview marked the pill) fits the view.
  std::vector<std::string> pass;
  for (const auto& e : events) {
    if (e["t"] != 0.5) continue;
    const bool colorViewStep = e["ev"] == "set" && e["id"] == "v1" &&
                               (e["prop"] == "tag" || e["prop"] == "layer.cornerRadius" || e["prop"] == "backgroundColor" || e["prop"] == "frame");
    const bool pillAlpha = e["ev"] == "set" && e["id"] == "p" && e["prop"] == "alpha";
    if (colorViewStep || pillAlpha) pass.push_back("set " + std::string(e["id"]) + " " + std::string(e["prop"]));
    if (e["ev"] == "add") pass.push_back("add " + std::string(e["id"]) + " to " + std::string(e["parent"]));
  }
  EXPECT_EQ(pass, (std::vector<std::string>{"set v1 tag", "set v1 layer.cornerRadius", "set v1 backgroundColor",
                                            "add v1 to p", "set p alpha", "set v1 layer.cornerRadius", "set v1 frame"}));

  // One degree per animation, each 0.1 s read as a 32-bit float.
  auto animations = eventsOf(events, "animate");
  ASSERT_GE(animations.size(), 20u);
  EXPECT_EQ(animations[0]["duration"], static_cast<double>(0.1f));
  std::vector<json> hues;
  for (const auto& e : about(events, "v1")) {
    if (e["ev"] == "set" && e.contains("anim")) hues.push_back(e["value"]);
  }
  ASSERT_GE(hues.size(), 2u);
  EXPECT_EQ(hues[0], json::parse("[1,0,0,1]"));
  EXPECT_NEAR(double(hues[1][1]), 6.0 / 360.0, 1e-6);  // hue 1/360: green rises first
}

TEST_F(EndToEndTest, LumaPillIsPinnedClippedAndCyclesBlueAndRedOnAnimateView) {
  auto events = run(R"(at 0 prefs set enabled bool true
at 0 prefs set style string none
at 0 notify
at 0.1 pill add l MTLumaDodgePillView 216 831 134 5
at 1 pill send l animateView
at 25 end
)");
  auto constraints = eventsOf(events, "constraints");
  ASSERT_EQ(constraints.size(), 2u);
  EXPECT_EQ(constraints[0]["format"], "H:|-0-[colorView]-0-|");
  EXPECT_EQ(constraints[1]["format"], "V:|-0-[colorView]-0-|");
  EXPECT_EQ(constraints[0]["count"], 2);

  std::vector<std::pair<double, std::string>> cycle;  // (time, what) of the animations and their completions
  for (const auto& e : events) {
    if (e["ev"] == "animate") cycle.emplace_back(e["t"], "animate " + std::to_string(int(e["duration"])));
    if (e["ev"] == "complete") cycle.emplace_back(e["t"], "complete");
    if (e["ev"] == "set" && e["prop"] == "backgroundColor" && e["id"] == "v1") {
      cycle.emplace_back(e["t"], e["value"] == json::parse("[0,0,1,1]") ? "blue" : e["value"] == json::parse("[1,0,0,1]") ? "red" : "other");
    }
  }
  EXPECT_EQ(cycle, (std::vector<std::pair<double, std::string>>{{1, "animate 10"}, {1, "blue"}, {11, "complete"},
                                                                 {11, "blue"}, {11, "animate 10"}, {11, "red"},
                                                                 {21, "complete"}, {21, "red"}, {21, "animate 10"},
                                                                 {21, "blue"}}));
}

TEST_F(EndToEndTest, MasterSwitchOffMakesNoColourView) {
  auto events = run(R"(at 0 prefs set enabled bool false
at 0 notify
at 0.1 pill add p MTStaticColorPillView 40 831 134 5
at 0.2 pill layout p
at 1 end
)");
  for (const auto& e : eventsOf(events, "new")) EXPECT_NE(e["class"], "ColorPillView");
  EXPECT_TRUE(about(events, "p").size() >= 1u);
}

TEST_F(EndToEndTest, AWaveStopsWithItsPillAndLeavesNothingRunning) {
  auto events = run(R"(at 0 prefs set enabled bool true
at 0 prefs set style string Wave
at 0 notify
at 0.1 pill add p MTStaticColorPillView 40 831 134 5
at 1 pill remove p
at 3 end
)");
  auto timers = eventsOf(events, "timer");
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_EQ(timers[0]["interval"], 0.05);
  auto colours = eventsOf(events, "set");
  std::size_t gradients = 0;
  for (const auto& e : colours) {
    if (e["prop"] == "layer.colors") {
      EXPECT_EQ(e["value"].size(), 60u);
      ++gradients;
    }
  }
  // One at once (0.1 s), then every 0.05 s; at 1 s the removal runs first and the timer stops.
  EXPECT_EQ(gradients, 18u);
  double lastFire = 0, invalidated = -1;
  for (const auto& e : events) {
    if (e["ev"] == "fire") lastFire = e["t"];
    if (e["ev"] == "invalidate") invalidated = e["t"];
  }
  EXPECT_EQ(invalidated, 1.0);
  EXPECT_LE(lastFire, 1.0);
}

}  // namespace
