// The soak: its scenario scripts, and a run of minutes of virtual time in a
// fresh host after which the counts are back to what the live pills need.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <variant>

#include "ChildProcess.h"
#include "DeviceRootCopy.h"
#include "ScriptParser.h"
#include "Soak.h"

namespace {

using namespace hardening;
using namespace std::chrono_literals;

const sim::PillClasses kClasses{{"MTStaticColorPillView", "MTLumaDodgePillView"}, {}};

TEST(SoakScriptTest, SecondsAreWrittenExactly) {
  EXPECT_EQ(secondsText(0s), "0");
  EXPECT_EQ(secondsText(3600s), "3600");
  EXPECT_EQ(secondsText(12500ms), "12.5");
  EXPECT_EQ(secondsText(aurora::Nanoseconds(1)), "0.000000001");
}

TEST(SoakScriptTest, APeriodMakesAndRemovesItsPillsInsideIt) {
  const SoakPlan plan = SoakPlan::minutes(2);
  EXPECT_EQ(plan.periods(), 2);
  EXPECT_EQ(plan.pillsPerPeriod(), 18);  // made at 0, 3, ..., 51 s; each lives 7 s
  const sim::Script script = sim::parseScript("period 1", soakPeriodScript(plan, 1), kClasses);
  std::set<std::string> added, removed;
  int notifies = 0;
  for (const sim::ScriptLine& line : script.lines) {
    EXPECT_GE(line.at, 60s);
    EXPECT_LT(line.at, 120s);
    if (const auto* add = std::get_if<sim::command::PillAdd>(&line.command)) added.insert(add->name);
    if (const auto* remove = std::get_if<sim::command::PillRemove>(&line.command)) removed.insert(remove->name);
    if (std::holds_alternative<sim::command::Notify>(line.command)) ++notifies;
  }
  EXPECT_EQ(added.size(), 18u);
  EXPECT_EQ(added, removed);
  EXPECT_EQ(notifies, 60 + 18);  // every second, and after each rewrite
}

TEST(SoakScriptTest, ADayMakesTwelveHundredPillsAnHourAndAShortPeriodNone) {
  EXPECT_EQ(SoakPlan::day().periods(), 24);
  EXPECT_EQ(SoakPlan::day().pillsPerPeriod(), 1198);  // the last made at 3591 s goes at 3598 s
  const SoakPlan tooShort{60s, 5s};
  EXPECT_EQ(tooShort.pillsPerPeriod(), 0);  // a 7 s life does not fit in 5 s
  EXPECT_EQ(soakPeriodScript(tooShort, 0).find("pill"), std::string::npos);
}

TEST(SoakScriptTest, EveryClassMeetsEveryStyleWithinTenPills) {
  const SoakPlan plan = SoakPlan::minutes(1);
  const sim::Script script = sim::parseScript("period 0", soakPeriodScript(plan, 0), kClasses);
  std::string style;
  std::set<std::pair<std::string, std::string>> seen;  // (class, style)
  for (const sim::ScriptLine& line : script.lines) {
    if (const auto* set = std::get_if<sim::command::PrefsSet>(&line.command); set && set->entry.key == "style") {
      style = std::get<std::string>(set->entry.value);
    }
    if (const auto* add = std::get_if<sim::command::PillAdd>(&line.command); add && seen.size() < 10) {
      seen.emplace(add->className, style);
    }
  }
  EXPECT_EQ(seen.size(), 10u);
}

TEST(SoakRunTest, MinutesOfChurnLeaveExactlyWhatTheLivePillsNeed) {
  DeviceRootCopy root;
  const ChildResult end = runInChild(110s, [&] { return nlohmann::json(runSoak(SoakPlan::minutes(5), root.path())).dump(); });
  ASSERT_TRUE(end.ok()) << end.describe() << " " << end.output;
  const SoakReport report = nlohmann::json::parse(end.output).get<SoakReport>();
  EXPECT_EQ(report.final, report.expected) << formatSoakReport(report);
  EXPECT_EQ(report.expected, (aurora::Census{.views = 5, .layers = 5, .timers = 1, .pendingTasks = 0, .animations = 2}));
  ASSERT_EQ(report.samples.size(), 6u);  // at the start and after each minute
  for (const SoakSample& sample : report.samples) {
    EXPECT_LE(sample.census.views, 9u);  // at most two churned pills alive, and one colour view a luma step still holds
    EXPECT_LE(sample.census.timers, 3u);
    EXPECT_LE(sample.census.animations, 8u);
    EXPECT_GT(sample.residentKiB, 0u);
  }
  EXPECT_EQ(report.pillsChurned, 90);
  EXPECT_EQ(report.activity.viewsMade, 4u + 2 * 90);  // every pill and its colour view
  EXPECT_EQ(report.activity.readsOffMainThread, 0u);
  EXPECT_EQ(report.activity.callbacksDelivered, report.activity.notificationsPosted);
  EXPECT_GT(report.activity.animationsCompleted, 0u);
}

}  // namespace
