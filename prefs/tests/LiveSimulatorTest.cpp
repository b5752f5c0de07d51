// Across processes: a simulator running on the real clock picks up what the
// settings pane writes, because the pane posts the settings-changed
// notification after writing. Waits are bounded polls of the trace file.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "Foundation/NSDictionary.h"
#include "Program.h"
#include "RunningProgram.h"
#include "TempDir.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kPrefsDevicePath = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
constexpr const char* kSettingsChanged = "com.quillmoren.auroraribbon.settingschanged";
constexpr auto kPatience = 20s;

// The trace's complete lines as events (a line still being written is left for the next look).
std::vector<json> traceEvents(const std::filesystem::path& trace) {
  std::vector<json> events;
  std::istringstream lines(sim::test::readFile(trace));
  for (std::string line; std::getline(lines, line);) {
    json event = json::parse(line, nullptr, false);
    if (!event.is_discarded() && event.contains("ev")) events.push_back(std::move(event));
  }
  return events;
}

bool isPrefsRead(const json& event) { return event["ev"] == "read" && event["path"] == kPrefsDevicePath; }

// Polls the trace until `seen` holds for its events, or the patience runs out.
template <class Predicate>
bool waitForTrace(const std::filesystem::path& trace, prefs::test::RunningProgram& simulator, Predicate seen) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline && simulator.running()) {
    if (seen(traceEvents(trace))) return true;
    std::this_thread::sleep_for(20ms);
  }
  return seen(traceEvents(trace));
}

// The events after the first `deliver` of the settings-changed notification.
std::vector<json> afterDelivery(const std::vector<json>& events) {
  const auto delivered = std::find_if(events.begin(), events.end(),
                                      [](const json& e) { return e["ev"] == "deliver" && e["name"] == kSettingsChanged; });
  return delivered == events.end() ? std::vector<json>{} : std::vector<json>(delivered + 1, events.end());
}

TEST(LiveSimulatorTest, ARunningSimulatorReadsThePreferencesAgainAfterAWrite) {
  sim::test::TempDir dir;
  const std::filesystem::path root = dir / "root";
  for (const char* part : {"Library", "var/mobile"}) {
    std::filesystem::create_directories(root / part);
    std::filesystem::copy(std::filesystem::path(AURORA_DEMO_ROOT) / part, root / part,
                          std::filesystem::copy_options::recursive);
  }
  const std::filesystem::path trace = dir / "trace.jsonl";

  prefs::test::RunningProgram simulator({AURORA_SIM_BINARY, "--root", root.string(), "--clock", "real", "--trace",
                                         trace.string(), "--duration", "120"},
                                        dir / "sim-output.txt");
  // The extension subscribes to the notification before its first read.
  ASSERT_TRUE(waitForTrace(trace, simulator, [](const std::vector<json>& events) {
    return std::any_of(events.begin(), events.end(), isPrefsRead);
  })) << "the simulator never read its preferences: " << sim::test::readFile(dir / "sim-output.txt");
  ASSERT_TRUE(afterDelivery(traceEvents(trace)).empty());

  const sim::test::ProgramResult written =
      sim::test::runProgram({AURORA_PREFS_BINARY, "--root", root.string(), "write", "style", "-string", "Fade"}, dir.path());
  ASSERT_EQ(written.status, 0) << written.err;

  const bool reread = waitForTrace(trace, simulator, [](const std::vector<json>& events) {
    const std::vector<json> later = afterDelivery(events);
    return std::any_of(later.begin(), later.end(), isPrefsRead);
  });
  const bool stillRunning = simulator.running();
  const int status = simulator.stop();
  EXPECT_TRUE(reread) << "no read after the notification arrived:\n" << sim::test::readFile(trace);
  EXPECT_TRUE(stillRunning) << "the simulator ended early: " << sim::test::readFile(dir / "sim-output.txt");
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);

  const std::vector<json> later = afterDelivery(traceEvents(trace));
  const auto read = std::find_if(later.begin(), later.end(), isPrefsRead);
  ASSERT_NE(read, later.end());
  EXPECT_EQ((*read)["ok"], true);
  const auto prefs = NSDictionary::fromFile(root / "var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist");
  ASSERT_TRUE(prefs);
  EXPECT_EQ(prefs->stringValue("style"), "Fade");
  EXPECT_EQ(prefs->boolValue("enabled"), true);  // the demo root's master switch, kept
}

}  // namespace
