// Time in the user's hand, in-process: the studio's host on a driven clock whose pace is faked, the real extension
// loaded from a copy of the demo root, and the simulator run beside it. Its own binary: a host starts once a process.
#include <gtest/gtest.h>

#include <sstream>

#include "FakePace.h"
#include "PictureTestSupport.h"
#include "PlatformTestSupport.h"
#include "Preview.h"
#include "Program.h"
#include "TimeControl.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PreferencesFile.h"
#include "aurora/TemporaryDirectory.h"
#include "host/HostStart.h"
#include "host/SceneWatcher.h"
#include "picture/Framing.h"
#include "settings/Contract.h"

namespace studio {
namespace {

using namespace std::chrono_literals;
using Pace = Preview::Pace;

// A fade the eye can follow: at 2.5 s it is part way.
const std::vector<aurora::PreferenceEntry> kFade{{"enabled", true},
                                                 {"style", std::string("Fade")},
                                                 {"fadeColor1", std::string("#FF0000")},
                                                 {"fadeColor2", std::string("#0000FF")},
                                                 {"fadeSpeed", 4.0}};

int differingPixels(const picture::Image& a, const picture::Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
  return differing;
}

TEST(TimelineTest, PausedNothingMovesAStepIsOnePictureAndAScrubDrawsWhatTheSimulatorDraws) {
  const aurora::TemporaryDirectory dir("studio-time-");
  const auto root = dir.path() / "root";
  aurora::copyDeviceRoot(AURORA_DEMO_ROOT, root);
  auto ownedPace = std::make_unique<aurora::testing::FakePace>();
  auto owned = std::make_unique<aurora::DrivenClock>(std::move(ownedPace));
  aurora::DrivenClock& clock = *owned;
  host::HostStart start(root, std::move(owned));
  aurora::PreferencesFile(aurora::hostPath(settings::kPreferencesPath)).set(kFade);
  host::Scene& scene = start.scene();
  FrameHub frames;
  EventHub events;  // the preview's "frame" events alone: their count is the pictures sent
  Preview preview(scene.window(), picture::ViewKind::Full, frames, events);
  const host::SceneWatcher watcher(preview);
  std::ostringstream diagnostics;
  ASSERT_FALSE(start.loadExtensions(diagnostics).loaded.empty()) << diagnostics.str();
  scene.addDefaultPills();
  std::vector<Pace> paces;
  TimeControl timeline(
      clock,
      [&](Pace pace) {
        paces.push_back(pace);
        preview.setPace(pace);
      },
      [&] {
        scene.removeAllPills();
        scene.addDefaultPills();
      },
      [](const TimeState&) {});
  const auto looking = frames.openStream();
  NSRunLoop& loop = NSRunLoop::mainRunLoop();

  loop.runUntil(700ms);  // playing: the fade moves and pictures go out
  ASSERT_GT(events.latest(), 3u);
  timeline.apply({.paused = true});
  loop.run();  // the picture of the instant paused at goes out; then the loop waits on its descriptors
  const std::uint64_t sentWhenPaused = events.latest();
  const TimeState held = timeline.state();
  EXPECT_TRUE(held.paused);
  {
    aurora::testing::RecordingObserver heard;
    loop.run();
    EXPECT_EQ(heard.events, std::vector<std::string>{});  // no timer fired, no property set, no animation ended
  }
  EXPECT_EQ(events.latest(), sentWhenPaused);
  EXPECT_EQ(timeline.state().sinceRespring, held.sinceRespring);

  paces.clear();
  timeline.apply({.step = true});
  loop.run();
  EXPECT_EQ(timeline.state().sinceRespring, held.sinceRespring + host::FramePacer::kFrameInterval);
  EXPECT_EQ(events.latest(), sentWhenPaused + 1);  // one picture, of the instant stepped to
  EXPECT_EQ(paces, (std::vector<Pace>{Pace::Held, Pace::Still}));

  // From playing at a quarter, the origin at an odd instant: the scrub still starts the pills afresh.
  timeline.apply({.percent = 25, .paused = false});
  loop.runUntil(loop.now() + 123457us);
  timeline.apply({.scrubTo = 2500ms});
  loop.run();
  EXPECT_EQ(timeline.state().sinceRespring, 2500ms);
  EXPECT_TRUE(timeline.state().paused);
  const picture::PictureLook simulators{picture::ViewKind::Full, kPreviewScale};
  const picture::Image scrubbed =
      picture::renderWindow(scene.window(), picture::framePicture(scene.window(), simulators));
  const auto simulated = dir.path() / "sim.png";
  const auto run = host::test::runProgram(
      {AURORA_SIM_BINARY, "--root", root.string(), "--png", simulated.string(), "--at", "2.5", "--scale", "2"},
      dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const picture::Image drawn = picture::test::readPng(simulated);
  EXPECT_EQ(differingPixels(scrubbed, drawn), 0);
  timeline.apply({.step = true});  // a picture later, the fade has moved on: the instant is what matched
  EXPECT_GT(
      differingPixels(picture::renderWindow(scene.window(), picture::framePicture(scene.window(), simulators)), drawn),
      0);
}

}  // namespace
}  // namespace studio
