// The built auroraribbon-prefs: its statuses, and a real-clock simulator re-reading what it writes (bounded polls).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "Foundation/NSDictionary.h"
#include "Program.h"
#include "ReadFile.h"
#include "TempDeviceRoot.h"
#include "aurora/PreferencesFile.h"

namespace {

constexpr const char* kPrefsDevicePath = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";

using host::test::readFile;

// Whether the trace shows a read of the preferences (`afterPost`: after the notice arrived); a half-written line waits.
bool traceShowsRead(const std::filesystem::path& trace, bool afterPost) {
  std::istringstream lines(readFile(trace));
  bool delivered = !afterPost;
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
    if (!e.is_object()) continue;
    if (e.value("ev", "") == "deliver" && e.value("name", "") == "com.quillmoren.auroraribbon.settingschanged")
      delivered = true;
    if (delivered && e.value("ev", "") == "read" && e.value("path", "") == kPrefsDevicePath && e.value("ok", false))
      return true;
  }
  return false;
}

// And the program exits with the pane's status.
TEST(PrefsProgramTest, ARunningSimulatorReadsWhatItWrites) {
  aurora::testing::TempDeviceRoot root;
  const auto prefs = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {AURORA_PREFS_BINARY, "--root", root.path().string()});
    return host::test::runProgram(args, root.path());
  };
  EXPECT_EQ(prefs({"--colour", "red", "read"}).status, 2);
  EXPECT_EQ(prefs({"read"}).status, 1);  // no file yet

  for (const char* part : {"Library", "var/mobile"}) {
    std::filesystem::create_directories(root.path() / part);
    std::filesystem::copy(std::filesystem::path(AURORA_DEMO_ROOT) / part, root.path() / part,
                          std::filesystem::copy_options::recursive);
  }
  const std::filesystem::path trace = root.path() / "trace.jsonl", output = root.path() / "sim-output.txt";
  const pid_t simulator = ::fork();
  if (simulator == 0) {
    std::freopen(output.c_str(), "w", stdout);
    ::dup2(STDOUT_FILENO, STDERR_FILENO);
    ::execl(AURORA_SIM_BINARY, AURORA_SIM_BINARY, "--root", root.path().c_str(), "--clock", "real", "--trace",
            trace.c_str(), "--duration", "120", nullptr);
    ::_exit(127);
  }
  // Until the trace shows the read, or 20 s have gone, or the simulator has ended.
  const auto waitForRead = [&](bool afterPost) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!traceShowsRead(trace, afterPost) && std::chrono::steady_clock::now() < deadline &&
           ::waitpid(simulator, nullptr, WNOHANG) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return traceShowsRead(trace, afterPost);
  };
  // The extension subscribes to the notification before its first read.
  const bool readAtStart = waitForRead(false);
  EXPECT_FALSE(traceShowsRead(trace, true)) << "a notification before the write";
  const host::test::ProgramResult written = prefs({"write", "style", "-string", "Fade"});
  const bool reread = readAtStart && waitForRead(true);
  int status = 0;  // stays 0 if the simulator has ended and been reaped already
  ::kill(simulator, SIGTERM);
  ::waitpid(simulator, &status, 0);
  ASSERT_TRUE(readAtStart) << "the simulator never read its preferences: " << readFile(output);
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.err, "");
  EXPECT_TRUE(reread) << "no read after the notification arrived:\n" << readFile(trace);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "the simulator ended early: " << readFile(output);
  EXPECT_EQ(prefs({"read", "style"}).out, "Fade\n");
  EXPECT_EQ(prefs({"read", "enabled"}).out, "1\n");  // the demo root's master switch, kept
}

// Two panes and a writer in the studio's way, all at once: each keeps every change.
TEST(PrefsProgramTest, WritersAtOnceLoseNothing) {
  aurora::testing::TempDeviceRoot root;
  const std::filesystem::path file = root.path() / std::filesystem::path(kPrefsDevicePath).relative_path();
  constexpr int kWrites = 50;
  const auto writer = [](const std::function<int(std::string)>& write) {  // exits with how many writes failed
    const pid_t child = ::fork();
    if (child != 0) return child;
    int failed = 0;
    for (int i = 0; i < kWrites; ++i) failed += write(std::to_string(i)) == 0 ? 0 : 1;
    ::_exit(failed);
  };
  const auto pane = [&](const std::string& key) {
    return writer([&, key](std::string i) {
      return host::test::runProgram({AURORA_PREFS_BINARY, "--root", root.path(), "write", key + i, "-int", i},
                                    root.path())
          .status;
    });
  };
  const pid_t writers[] = {pane("a"), pane("b"), writer([&](std::string i) {
                             const std::int64_t n = std::stoll(i);
                             aurora::PreferencesFile(file, aurora::kExistingFormat).set({{"c" + i, n}, {"last", n}});
                             return 0;  // a PreferencesError would end the process
                           })};
  for (const pid_t child : writers) {
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writes failed: " << status;
  }
  const auto written = NSDictionary::fromFile(file);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->count(), 3u * kWrites + 1);
  for (const std::string key : {"a", "b", "c"}) {
    for (int i = 0; i < kWrites; ++i) EXPECT_EQ(written->integerValue(key + std::to_string(i)), i) << key << i;
  }
  EXPECT_EQ(written->integerValue("last"), kWrites - 1);
}

}  // namespace
