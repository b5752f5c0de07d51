// The live view on a stand-in terminal and the virtual clock: when it draws,
// what it sends, and that it stops drawing when nothing moves.
#include "LiveView.h"

#include <regex>

#include <gtest/gtest.h>

#include "Foundation/NSTimer.h"
#include "Scene.h"
#include "SceneWatcher.h"
#include "SimTestSupport.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

// What the bytes show as text: the escape sequences taken out.
std::string shownText(const std::string& bytes) { return std::regex_replace(bytes, std::regex("\x1b\\[[0-9;?]*[A-Za-z]"), ""); }

class FakeScreen final : public TerminalScreen {
 public:
  TerminalSize size() const override { return size_; }
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }

  TerminalSize size_{80, 24};
  std::vector<std::string> writes;
};

class LiveViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
  // Runs the loop to `t` since the start.
  static void runTo(aurora::Nanoseconds t) { NSRunLoop::mainRunLoop().runUntil(t); }

  FakeScreen screen_;
  Scene scene_;
  LiveView view_{scene_.window(), screen_, ViewKind::Pills, [] { return std::string(" status here"); }};
  SceneWatcher watcher_{nullptr, view_};
  test::ObserverScope watching_{watcher_};
};

TEST_F(LiveViewTest, DrawsWhatChangedThenSleeps) {
  scene_.addDefaultPills();
  runTo(1s);
  ASSERT_FALSE(screen_.writes.empty());
  const std::size_t frames = view_.framesDrawn(), writes = screen_.writes.size();
  EXPECT_LE(frames, 3u);  // the pills, then their first layout's rounding
  runTo(60s);
  EXPECT_EQ(view_.framesDrawn(), frames);  // nothing changed, so nothing woke it
  EXPECT_EQ(screen_.writes.size(), writes);
}

TEST_F(LiveViewTest, TheFirstFrameShowsThePillsLabelsAndTheStatusLine) {
  scene_.addDefaultPills();
  runTo(1s);
  std::string all;
  for (const auto& w : screen_.writes) all += w;
  EXPECT_EQ(all.substr(0, 8), "\x1b[0m\x1b[2J");
  const std::string text = shownText(all);
  EXPECT_NE(text.find("MTStaticColorPillView"), std::string::npos);
  EXPECT_NE(text.find("MTLumaDodgePillView"), std::string::npos);
  EXPECT_NE(text.find("status here"), std::string::npos);
  EXPECT_NE(all.find("\x1b[24;1H"), std::string::npos);  // the status line is the last row
}

TEST_F(LiveViewTest, AChangeNobodyCanSeeDrawsAFrameButSendsNothing) {
  scene_.addDefaultPills();
  runTo(1s);
  const std::size_t frames = view_.framesDrawn(), writes = screen_.writes.size();
  scene_.pill("static").setTag(7);
  runTo(2s);
  EXPECT_EQ(view_.framesDrawn(), frames + 1);
  EXPECT_EQ(screen_.writes.size(), writes);
}

TEST_F(LiveViewTest, KeepsDrawingAtThirtyFramesASecondWhileAnAnimationRuns) {
  scene_.addDefaultPills();
  runTo(1s);
  const std::size_t before = view_.framesDrawn();
  UIView::animateWithDuration(1.0, [&] { scene_.pill("static").setBackgroundColor(UIColor::redColor()); });
  runTo(2s + 100ms);
  const std::size_t during = view_.framesDrawn() - before;
  EXPECT_GE(during, 30u);
  EXPECT_LE(during, 33u);
  runTo(10s);
  EXPECT_EQ(view_.framesDrawn() - before, during);  // and stops when it ends
}

TEST_F(LiveViewTest, ManyChangesStillMeanAtMostThirtyFramesASecond) {
  scene_.addDefaultPills();
  runTo(1s);
  const std::size_t before = view_.framesDrawn();
  bool red = false;
  auto flicker = NSTimer::timerWithTimeInterval(0.001, true, [&](NSTimer&) {
    red = !red;
    scene_.pill("luma").setBackgroundColor(red ? UIColor::redColor() : UIColor::blueColor());
  });
  NSRunLoop::mainRunLoop().addTimer(flicker, NSDefaultRunLoopMode);
  runTo(2s);
  flicker->invalidate();
  EXPECT_LE(view_.framesDrawn() - before, 31u);
  EXPECT_GE(view_.framesDrawn() - before, 29u);
}

TEST_F(LiveViewTest, AResizeRedrawsEverythingAtTheNewSize) {
  scene_.addDefaultPills();
  runTo(1s);
  screen_.size_ = {120, 30};
  view_.resized();
  runTo(2s);
  const std::string& last = screen_.writes.back();
  EXPECT_EQ(last.substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_NE(last.find("\x1b[30;1H"), std::string::npos);
}

TEST_F(LiveViewTest, ATerminalTooSmallGetsNothing) {
  screen_.size_ = {80, 1};
  scene_.addDefaultPills();
  runTo(1s);
  EXPECT_GT(view_.framesDrawn(), 0u);
  EXPECT_TRUE(screen_.writes.empty());
}

TEST_F(LiveViewTest, AFrameDueAfterTheViewIsGoneDoesNothing) {
  FakeScreen screen;
  {
    LiveView gone(scene_.window(), screen, ViewKind::Full, [] { return std::string(); });
    gone.sceneChanged();
  }
  runTo(1s);
  EXPECT_TRUE(screen.writes.empty());
}

}  // namespace
}  // namespace sim
