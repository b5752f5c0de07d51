// The hardening runs in short forms, each host a fresh process with the real extension: soak, matrix, storm, torn
// writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "BadInputRun.h"
#include "DeviceRootCopy.h"
#include "Foundation/NSDictionary.h"
#include "Soak.h"
#include "Storm.h"
#include "TornWrites.h"
#include "prefs/PreferenceKeys.h"

namespace {

using namespace hardening;
using namespace std::chrono_literals;

TEST(SoakRunTest, MinutesOfChurnLeaveExactlyWhatTheLivePillsNeed) {
  DeviceRootCopy root;
  const ChildResult end =
      runInChild(110s, [&] { return nlohmann::json(runSoak(SoakPlan::minutes(5), root.path())).dump(); });
  ASSERT_TRUE(end.ok()) << end.describe() << " " << end.output;
  const SoakReport report = nlohmann::json::parse(end.output).get<SoakReport>();
  EXPECT_EQ(report.final, report.expected) << formatSoakReport(report);
  EXPECT_EQ(report.expected,
            (aurora::Census{.views = 5, .layers = 5, .timers = 1, .pendingTasks = 0, .animations = 2}));
  ASSERT_EQ(report.samples.size(), 6u);  // at the start and after each minute
  // At most two churned pills alive at a sample, and one colour view a luma step still holds.
  for (const SoakSample& s : report.samples) {
    EXPECT_TRUE(s.census.views <= 9 && s.census.timers <= 3 && s.census.animations <= 8 && s.residentKiB > 0)
        << formatSample(s);
  }
  EXPECT_EQ(report.pillsChurned, 90);
  EXPECT_EQ(report.activity.viewsMade, 4u + 2 * 90);  // every pill and its colour view
  EXPECT_EQ(report.activity.readsOffMainThread, 0u);
  EXPECT_EQ(report.activity.callbacksDelivered, report.activity.notificationsPosted);
  EXPECT_GT(report.activity.animationsCompleted, 0u);
}

const std::vector<BadInputRow> kRows = badInputRows();

// So that the matrix tests what it says: one key's value in the sane settings, or a file unreadable but for one.
TEST(BadInputRowsTest, EveryKeyMeetsEveryHostileValue) {
  DeviceRootCopy root;
  const auto file = root.path() / "prefs.plist";
  std::map<std::string, int> perKey;
  for (const BadInputRow& r : kRows) {
    ++perKey[r.key];
    r.write(file, "Fade");
    const auto read = NSDictionary::fromFile(file);
    ASSERT_EQ(read != nullptr, r.key != kWholeFile || r.value == "just under 1 MiB, readable")
        << r.key << " = " << r.value;
    if (r.key == kWholeFile) continue;
    EXPECT_EQ(read->count(), saneSettings("Fade").size()) << r.key << " = " << r.value;
    EXPECT_TRUE(r.key == "style" || read->stringValue("style") == "Fade") << r.key << " = " << r.value;
    EXPECT_TRUE(r.key == "enabled" || read->boolValue("enabled") == true) << r.key << " = " << r.value;
    EXPECT_TRUE(r.value != "real NaN" || std::isnan(*read->doubleValue(r.key))) << r.key;
    EXPECT_TRUE(r.value != "array" || !read->stringValue(r.key)) << r.key;  // an array reads as no string
  }
  for (const prefs::KnownKey& key : prefs::knownKeys()) EXPECT_EQ(perKey[std::string(key.name())], 25) << key.name();
  EXPECT_EQ(perKey[std::string(kWholeFile)], 14);
}

// Hostile values for every key, and every whole-file row, each in a fresh host.
class BadInputRunTest : public ::testing::TestWithParam<const BadInputRow*> {};

TEST_P(BadInputRunTest, TheHostRunsOnAndLeavesNothingBehind) {
  // Short, so the rows that tick every 0.1 ms stay quick under the sanitizers.
  const RowPlan plan{.perStyle = 200ms, .running = 1s, .settle = 30s, .wallLimit = 100s};
  const RowOutcome outcome = runBadInputRow(*GetParam(), plan, demoRoot());
  EXPECT_TRUE(outcome.ok()) << outcome.verdict();
  EXPECT_EQ(outcome.found.activity.readsOffMainThread, 0u);
}

// Reals and a long string per key; for the wave speed NaN stands for -1 and the string too: the same costly timer.
std::vector<const BadInputRow*> selectedRows() {
  std::vector<const BadInputRow*> selected;
  for (const BadInputRow& r : kRows) {
    const bool notForWave = r.value == "real -1" || r.value == "string of 100000 'x'";
    if (r.key == kWholeFile || r.value == "real NaN" || r.value == "real +inf" ||
        (notForWave && r.key != "waveAnimationSpeed")) {
      selected.push_back(&r);
    }
  }
  return selected;
}

INSTANTIATE_TEST_SUITE_P(Hostile, BadInputRunTest, ::testing::ValuesIn(selectedRows()), [](const auto& info) {
  std::string name = info.param->key + "_" + info.param->value;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name + "_" + std::to_string(info.index);
});

TEST(NotificationStormTest, EveryPostGivesOneReReadOnTheMainThreadWhileThePillsAnimate) {
  const StormReport report = runNotificationStorm({.posts = 10000, .wallLimit = 100s}, demoRoot());
  EXPECT_TRUE(report.exact()) << report.host.describe() << " "
                              << report.host.output;  // all ended well, all on the main thread
  EXPECT_EQ(report.posts, 10000);                     // and as many re-reads
  EXPECT_EQ(report.callbacks, 10000u);
  // The animations went on: the wave's timer fired and spectrum steps completed during the storm.
  EXPECT_TRUE(report.waveFires > 0 && report.animationsCompleted > 0) << report.waveFires << " fires";
}

// The atomic replacement is the same for either format, so the pane's default stands for both.
TEST(TornWritesTest, EveryReadSeesTheOldFileOrTheNewOneWhole) {
  const TornReport report =
      runTornWrites({.writes = 100, .format = aurora::PlistFormat::Xml, .wallLimit = 100s}, demoRoot());
  EXPECT_EQ(report.written.writes, 100u) << report.writer.describe() << " " << report.writer.output;
  // Clean: both ended well, and there were reads, each whole, none going back to an older version.
  EXPECT_TRUE(report.clean()) << report.reader.describe() << ", torn " << report.read.torn << ", back "
                              << report.read.wentBack;
}

}  // namespace
