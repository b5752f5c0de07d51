// The bad-input matrix: its rows, and hostile rows run in fresh hosts that
// must neither crash nor hang nor leave anything behind once their pills go.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "BadInputRun.h"
#include "DeviceRootCopy.h"
#include "Foundation/NSDictionary.h"
#include "PreferenceKeys.h"

namespace {

using namespace hardening;
using namespace std::chrono_literals;

const std::vector<BadInputRow>& rows() {
  static const std::vector<BadInputRow> all = badInputRows();
  return all;
}

const BadInputRow& row(std::string_view key, std::string_view value) {
  const auto it = std::find_if(rows().begin(), rows().end(), [&](const BadInputRow& r) { return r.key == key && r.value == value; });
  if (it == rows().end()) throw std::out_of_range(std::string(key) + " = " + std::string(value));
  return *it;
}

TEST(BadInputRowsTest, EveryKeyMeetsEveryHostileValueAndWholeFilesFollow) {
  std::map<std::string, int> perKey;
  for (const BadInputRow& r : rows()) ++perKey[r.key];
  for (const prefs::KnownKey& key : prefs::knownKeys()) EXPECT_EQ(perKey[std::string(key.name)], 25) << key.name;
  EXPECT_EQ(perKey[std::string(kWholeFile)], 14);
}

TEST(BadInputRowsTest, AKeyRowWritesTheSaneSettingsWithThatValue) {
  DeviceRootCopy root;
  const auto file = root.path() / "prefs.plist";
  row("fadeSpeed", "real NaN").write(file, "Fade");
  auto read = NSDictionary::fromFile(file);
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(std::isnan(*read->doubleValue("fadeSpeed")));
  EXPECT_EQ(read->stringValue("style"), "Fade");
  EXPECT_EQ(read->count(), saneSettings("Fade").size());

  row("style", "array").write(file, "Wave");
  read = NSDictionary::fromFile(file);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->stringValue("style"), std::nullopt);  // an array reads as no string
  EXPECT_EQ(read->boolValue("enabled"), true);
}

TEST(BadInputRowsTest, WholeFileRowsAreNotReadableDictionariesExceptTheLargestReadableOne) {
  DeviceRootCopy root;
  const auto file = root.path() / "prefs.plist";
  for (const BadInputRow& r : rows()) {
    if (r.key != kWholeFile) continue;
    r.write(file, "Wave");
    EXPECT_EQ(NSDictionary::fromFile(file) != nullptr, r.value == "just under 1 MiB, readable") << r.value;
  }
}

// Hostile values for every key, and every whole-file row, each in a fresh host.
class BadInputRunTest : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(BadInputRunTest, TheHostRunsOnAndLeavesNothingBehind) {
  const auto& [key, value] = GetParam();
  // Short, so the rows that tick every 0.1 ms stay quick under the sanitizers.
  const RowPlan plan{.perStyle = 200ms, .running = 1s, .settle = 30s, .wallLimit = 100s};
  const RowOutcome outcome = runBadInputRow(row(key, value), plan, demoRoot());
  EXPECT_TRUE(outcome.ok()) << outcome.verdict();
  EXPECT_EQ(outcome.found.activity.readsOffMainThread, 0u);
}

std::vector<std::pair<std::string, std::string>> selectedRows() {
  std::vector<std::pair<std::string, std::string>> selected;
  for (const prefs::KnownKey& key : prefs::knownKeys()) {
    for (const char* value : {"real NaN", "real +inf", "real -1", "string of 100000 'x'"}) selected.emplace_back(key.name, value);
  }
  for (const BadInputRow& r : rows()) {
    if (r.key == kWholeFile) selected.emplace_back(r.key, r.value);
  }
  return selected;
}

std::string rowName(const ::testing::TestParamInfo<std::pair<std::string, std::string>>& info) {
  std::string name = info.param.first + "_" + info.param.second;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Hostile, BadInputRunTest, ::testing::ValuesIn(selectedRows()), rowName);

}  // namespace
