// The pieces of the hardening runs: child processes and the gate between two,
// the activity counter, the soak's scripts, and the robustness page.
#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSDictionary.h"
#include "Foundation/NSRunLoop.h"
#include "PrefsFile.h"
#include "RobustnessReport.h"  // and the runs' own headers
#include "ScriptParser.h"
#include "TempDeviceRoot.h"
#include "UIKit/UIView.h"

namespace {

using namespace hardening;
using namespace std::chrono_literals;


TEST(ChildProcessTest, EachWayOfEndingIsToldWithTheBodysTextWhateverItsLength) {
  const ChildResult big = runInChild(30s, [] { return std::string(1 << 20, 'x'); });  // far beyond a pipe's buffer
  EXPECT_EQ(big.output.size(), std::size_t{1} << 20);
  EXPECT_EQ(big.describe(), "exited 0");
  const ChildResult thrown = runInChild(30s, []() -> std::string { throw std::runtime_error("bad input"); });
  EXPECT_EQ(thrown.describe() + ": " + thrown.output, "exited 1: bad input");
  const ChildResult crashed = runInChild(30s, []() -> std::string { return std::to_string(::kill(::getpid(), SIGKILL)); });
  EXPECT_EQ(crashed.describe(), "killed by signal 9 (Killed)");
  EXPECT_FALSE(crashed.ok());
  const ChildResult hung = runInChild(300ms, []() -> std::string { for (;;) ::pause(); });
  EXPECT_GE(hung.wallSeconds, 0.3);
  EXPECT_EQ(hung.describe().rfind("hung: killed after", 0), 0u);
  // A grandchild holding the pipe does not hold up the end.
  const ChildResult r = runInChild(30s, [] {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      // Keeps the inherited pipe open long after its parent ends (but not the test's output).
      ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
      ::dup2(STDOUT_FILENO, STDERR_FILENO);
      ::sleep(20);
      ::_exit(0);
    }
    return std::to_string(grandchild);
  });
  EXPECT_TRUE(r.ok());
  EXPECT_LT(r.wallSeconds, 15);
  ::kill(std::stoi(r.output), SIGKILL);
}

// Opening it lets the other side go (as every run does); here the opener ends without opening.
TEST(ChildProcessTest, AGateTellsTheWaiterThatTheOpenerEndedWithoutOpening) {
  Gate gate;
  ChildProcess opener([] { return std::string(); });
  EXPECT_FALSE(gate.waitOpen());
  EXPECT_TRUE(opener.wait(30s).ok());
}


TEST(ActivityTest, CountsPreferenceReadsViewsPostsAndDistinctAlphasWhileItLives) {
  aurora::testing::TempDeviceRoot root;
  NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>());
  {
    ActivityCounter counter;
    NSDictionary::dictionaryWithContentsOfFile(sim::kPrefsDevicePath);
    NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/other.plist");  // not counted
    auto view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
    for (double alpha : {0.5, 0.5, std::nan(""), std::nan(""), 1.0}) view->setAlpha(alpha);
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.example.none", nullptr, nullptr, true);
    EXPECT_EQ(counter.counts().preferenceReads, 1u);  // views made and posts are counted exactly by the soak run
    EXPECT_EQ(counter.alphas(), (std::set<std::string>{"0.5", "1", "nan"}));
  }
  EXPECT_EQ(aurora::platformObserver(), nullptr);
}


// Pills are made at 0, 3, ..., 51 s of each minute and live 7 s, of the two classes and five styles in turn.
TEST(SoakScriptTest, APeriodMakesAndRemovesItsPillsInsideItAndEveryClassMeetsEveryStyleWithinTenPills) {
  for (const auto& [t, text] : {std::pair{aurora::Nanoseconds(0s), "0"}, {3600s, "3600"}, {12500ms, "12.5"}, {aurora::Nanoseconds(1), "0.000000001"}}) {
    EXPECT_EQ(secondsText(t), text);  // exactly
  }
  const sim::PillClasses classes{{"MTStaticColorPillView", "MTLumaDodgePillView"}, {}};
  const sim::Script script = sim::parseScript("period 1", soakPeriodScript(SoakPlan::minutes(2), 1), classes);
  std::set<std::string> added, removed;
  std::string style;
  std::set<std::pair<std::string, std::string>> met;  // (class, style) of the first ten pills
  int notifies = 0;
  for (const sim::ScriptLine& line : script.lines) {
    EXPECT_GE(line.at, 60s);
    EXPECT_LT(line.at, 120s);
    if (const auto* set = std::get_if<sim::command::PrefsSet>(&line.command); set && set->entry.key == "style") {
      style = std::get<std::string>(set->entry.value);
    }
    if (const auto* add = std::get_if<sim::command::PillAdd>(&line.command)) {
      if (added.size() < 10) met.emplace(add->className, style);
      added.insert(add->name);
    }
    if (const auto* remove = std::get_if<sim::command::PillRemove>(&line.command)) removed.insert(remove->name);
    if (std::holds_alternative<sim::command::Notify>(line.command)) ++notifies;
  }
  EXPECT_EQ(added.size(), 18u);
  EXPECT_EQ(added, removed);
  EXPECT_EQ(notifies, 60 + 18);  // every second, and after each rewrite
  EXPECT_EQ(met.size(), 10u);
  EXPECT_EQ(SoakPlan::day().periods(), 24);
  EXPECT_EQ(SoakPlan::day().pillsPerPeriod(), 1198);  // the last made at 3591 s goes at 3598 s
  const SoakPlan tooShort{60s, 5s};
  EXPECT_EQ(tooShort.pillsPerPeriod(), 0);  // a 7 s life does not fit in 5 s
  EXPECT_EQ(soakPeriodScript(tooShort, 0).find("pill"), std::string::npos);
}


bool has(const std::string& page, const std::string& text) { return page.find(text) != std::string::npos; }

TEST(RobustnessReportTest, EachSectionShowsTheFiguresItWasGiven) {
  RobustnessFigures figures;
  figures.command = "auroraribbon-robustness --out x.md";
  figures.buildType = "Debug";
  RowOutcome left;
  left.found = {.activity = {.preferenceReads = 18}, .leftBehind = {.animations = 2}, .alphas = {"0.5", "nan"}};
  figures.matrix = {{"fadeSpeed", "real +inf", left}, {"(whole file)", "a | b", RowOutcome{}}};
  figures.fuzzSummary = "target\tseconds\texecutions\tcorpus\tresult\ncolor_string\t60\t3032241\t384\tok\n";
  std::string page = robustnessMarkdown(figures);
  EXPECT_TRUE(has(page, "Generated by `auroraribbon-robustness --out x.md` (Debug build)"));
  EXPECT_TRUE(has(page, "**2 rows, 1 not ok**"));
  EXPECT_TRUE(has(page, "| fadeSpeed | real +inf | left behind: views 0, layers 0, timers 0, tasks 0, animations 2 | 0.00 | 18 | 0 | 0 | 0.5, nan |"));
  EXPECT_TRUE(has(page, "| (whole file) | a \\| b | ok |"));
  EXPECT_TRUE(has(page, "| color_string | 60 | 3032241 | 384 | ok |"));
  EXPECT_FALSE(has(page, "## Soak"));  // sections without figures are left out
  figures = {};
  figures.storm = StormReport{.host = {}, .posts = 10, .posterOk = true, .rereads = 9};
  figures.tornWrites = {{"XML", {.writer = {}, .reader = {}, .written = {2000, 4.5}, .read = {.reads = 900, .whole = 900, .versionsSeen = 850}}}};
  figures.soak = SoakReport{.samples = {{0, {}, 9000, 0}, {1, {}, 15000, 10}, {2, {}, 15004, 20}}, .expected = {}, .final = {},
                            .activity = {}, .pillsChurned = 1198};
  figures.soakPlan = "two hours";
  page = robustnessMarkdown(figures);
  EXPECT_TRUE(has(page, "| exactly one re-read per post | **NO** |"));  // a storm that lost re-reads says so
  EXPECT_TRUE(has(page, "| re-reads of the preferences file | 9 |"));
  // The runs' own ChildResults are defaults (exited 0), so a clean run reads as clean.
  EXPECT_TRUE(has(page, "| XML | 2000 | 4.50 | 900 | 900 | 0 | 0 | 850 | yes |"));
  EXPECT_TRUE(has(page, "Pills churned: 1198"));
  EXPECT_TRUE(has(page, "to the last): +4 KiB"));
  EXPECT_TRUE(has(page, "| 2.00 | 0 | 0 | 0 | 0 | 0 | 15004 | 20.0 |"));
}

}  // namespace
