// The built auroraribbon-sim's live view on a pseudo-terminal: it takes the
// screen, draws, and gives the terminal back when `q` is typed or a signal
// ends it. Waits are bounded and end as soon as the awaited output arrives.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <regex>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 20s;
constexpr std::string_view kTakeScreen = "\x1b[?1049h\x1b[?25l\x1b[?7l";
constexpr std::string_view kGiveBack = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

class LiveTerminalTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) ::close(terminal_);
  }

  // Starts the simulator on a 100 x 30 pseudo-terminal with the given environment.
  void start(std::vector<std::string> environment) {
    std::filesystem::create_directory(dir_ / "root");
    winsize size{30, 100, 0, 0};
    pid_ = ::forkpty(&terminal_, nullptr, nullptr, &size);
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      std::vector<char*> env;
      for (auto& e : environment) env.push_back(e.data());
      env.push_back(nullptr);
      const std::string root = (dir_ / "root").string();
      ::execle(AURORA_SIM_BINARY, AURORA_SIM_BINARY, "--root", root.c_str(), static_cast<char*>(nullptr), env.data());
      ::_exit(127);
    }
  }

  // Reads until `wanted` has been seen or the output ends; false on time-out.
  bool readUntil(std::string_view wanted) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (output_.find(wanted) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left <= 0ms) return false;
      pollfd readable{terminal_, POLLIN, 0};
      if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(terminal_, buffer, sizeof buffer);
      if (n <= 0) return output_.find(wanted) != std::string::npos;  // the program ended
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

  int waitForExit() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

  test::TempDir dir_;
  pid_t pid_ = -1;
  int terminal_ = -1;
  std::string output_;
};

TEST_F(LiveTerminalTest, DrawsThePillsAndGivesTheTerminalBackOnQ) {
  start({"TERM=xterm-256color", "COLORTERM=truecolor"});
  ASSERT_TRUE(readUntil("q quits")) << output_;
  EXPECT_EQ(output_.find(kTakeScreen), 0u);
  const std::string text = std::regex_replace(output_, std::regex("\x1b\\[[0-9;?]*[A-Za-z]"), "");
  EXPECT_NE(text.find("MTStaticColorPillView"), std::string::npos);
  EXPECT_NE(output_.find("\xe2\x96\x80"), std::string::npos);  // half blocks
  ASSERT_EQ(::write(terminal_, "q", 1), 1);
  ASSERT_TRUE(readUntil(kGiveBack)) << output_.substr(output_.size() - 200);
  const int status = waitForExit();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(LiveTerminalTest, ASignalEndsItWithTheTerminalGivenBack) {
  start({"TERM=xterm-256color", "COLORTERM=24bit"});
  ASSERT_TRUE(readUntil("q quits")) << output_;
  ::kill(pid_, SIGTERM);
  ASSERT_TRUE(readUntil(kGiveBack));
  const int status = waitForExit();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
}

TEST_F(LiveTerminalTest, ATerminalWithoutColourGetsAMessageAndNothingElse) {
  start({"TERM=dumb"});
  ASSERT_TRUE(readUntil("TERM is dumb"));
  const int status = waitForExit();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(output_.find("\x1b["), std::string::npos);
}

}  // namespace
}  // namespace sim
