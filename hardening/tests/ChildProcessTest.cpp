// Child processes: how each way of ending is told, output of any length, and
// the gate between two processes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

#include "ChildProcess.h"

namespace {

using hardening::ChildResult;
using hardening::runInChild;
using namespace std::chrono_literals;

TEST(ChildProcessTest, TheBodysTextComesBackWhateverItsLength) {
  const ChildResult small = runInChild(30s, [] { return std::string("done"); });
  EXPECT_TRUE(small.ok());
  EXPECT_EQ(small.output, "done");
  const ChildResult big = runInChild(30s, [] { return std::string(1 << 20, 'x'); });  // far beyond a pipe's buffer
  EXPECT_TRUE(big.ok());
  EXPECT_EQ(big.output.size(), std::size_t{1} << 20);
  EXPECT_EQ(big.describe(), "exited 0");
}

TEST(ChildProcessTest, AThrowIsStatusOneWithTheMessage) {
  const ChildResult r = runInChild(30s, []() -> std::string { throw std::runtime_error("bad input"); });
  EXPECT_EQ(r.end, ChildResult::End::Exited);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.output, "bad input");
}

TEST(ChildProcessTest, ACrashIsReportedWithItsSignal) {
  const ChildResult r = runInChild(30s, []() -> std::string {
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  });
  EXPECT_EQ(r.end, ChildResult::End::Signalled);
  EXPECT_EQ(r.code, SIGABRT);
  EXPECT_FALSE(r.ok());
}

TEST(ChildProcessTest, AHangIsKilledAtTheLimit) {
  const ChildResult r = runInChild(300ms, []() -> std::string {
    for (;;) ::pause();
  });
  EXPECT_EQ(r.end, ChildResult::End::Hung);
  EXPECT_GE(r.wallSeconds, 0.3);
  EXPECT_EQ(r.describe().rfind("hung: killed after", 0), 0u);
}

TEST(ChildProcessTest, AGrandchildHoldingThePipeDoesNotHoldUpTheEnd) {
  const ChildResult r = runInChild(30s, [] {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      // Keeps the inherited pipe open long after its parent ends (but not the test's output).
      const int devNull = ::open("/dev/null", O_WRONLY);
      ::dup2(devNull, STDOUT_FILENO);
      ::dup2(devNull, STDERR_FILENO);
      ::sleep(20);
      ::_exit(0);
    }
    return std::to_string(grandchild);
  });
  EXPECT_TRUE(r.ok());
  EXPECT_LT(r.wallSeconds, 15);
  ::kill(std::stoi(r.output), SIGKILL);
}

TEST(ChildProcessTest, AGateLetsTheOtherSideGo) {
  hardening::Gate gate;
  hardening::ChildProcess waiter([&] { return std::string(gate.waitOpen() ? "opened" : "abandoned"); });
  gate.open();
  EXPECT_EQ(waiter.wait(30s).output, "opened");
}

TEST(ChildProcessTest, AGateTellsTheWaiterThatTheOpenerEndedWithoutOpening) {
  hardening::Gate gate;
  hardening::ChildProcess opener([] { return std::string(); });
  EXPECT_FALSE(gate.waitOpen());
  EXPECT_TRUE(opener.wait(30s).ok());
}

}  // namespace
