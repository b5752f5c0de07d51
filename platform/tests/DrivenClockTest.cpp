// The driven clock: its time across changes of pace, its waits at a rate, and a run loop on it that stands still when
// paused.
#include <sys/eventfd.h>
#include <unistd.h>

#include "FakePace.h"
#include "PlatformTestSupport.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"
#include "aurora/DrivenClock.h"

namespace {

using namespace aurora::testing;
using aurora::DrivenClock;
using aurora::Nanoseconds;

TEST(DrivenClockTest, KeepsItsTimeAcrossChangesOfPaceAndWaitsAtItsRate) {
  auto owned = std::make_unique<FakePace>();
  FakePace& pace = *owned;
  DrivenClock clock(std::move(owned));
  EXPECT_EQ(clock.now(), 0s);
  pace.pass(1s);
  EXPECT_EQ(clock.now(), 1s);
  clock.setRate(25);
  EXPECT_EQ(clock.now(), 1s);
  pace.pass(2s);
  EXPECT_EQ(clock.now(), 1500ms);
  clock.wait(2s, {});  // half a second on this clock is two on its pace
  EXPECT_EQ(clock.now(), 2s);
  EXPECT_EQ(pace.now(), 7s + 5s);
  clock.setRate(10);
  clock.wait(2s + Nanoseconds{1}, {});  // rounded up on the pace: the deadline is reached, not missed by a nanosecond
  EXPECT_EQ(clock.now(), 2s + Nanoseconds{1});
  EXPECT_THROW(clock.setRate(30), std::invalid_argument);
  EXPECT_EQ(clock.rate(), 10);

  clock.pause();
  const Nanoseconds held = clock.now();
  pace.pass(1h);
  clock.wait(held + 1s, {});  // a later deadline never comes: it waits on the descriptors alone
  EXPECT_EQ(clock.now(), held);
  EXPECT_EQ(pace.idleWaits, 1);
  clock.wait(held, {});  // one already due returns at once
  EXPECT_EQ(pace.idleWaits, 1);
  clock.play();
  pace.pass(10s);
  EXPECT_EQ(clock.now(), held + 1s);  // on from where it stood, at 10 %

  clock.jump();
  const Nanoseconds paceThen = pace.now();
  clock.wait(held + 1min, {});
  EXPECT_EQ(clock.now(), held + 1min);
  EXPECT_EQ(pace.now(), paceThen);  // no time passed on the pace
  clock.pause();
  EXPECT_EQ(clock.now(), held + 1min);
}

// Paused on a real clock with the deadline far off, a post from another thread still wakes it.
TEST(DrivenClockTest, PausedItStillWakesForItsDescriptors) {
  DrivenClock clock(std::make_unique<aurora::RealClock>());
  clock.pause();
  const int fd = ::eventfd(1, EFD_CLOEXEC);  // readable from the start
  ASSERT_GE(fd, 0);
  pollfd fds[] = {{fd, POLLIN, 0}};
  clock.wait(clock.now() + 1h, fds);
  EXPECT_TRUE(fds[0].revents & POLLIN);
  ::close(fd);
}

class DrivenLoopTest : public VirtualLoopTest {};

// A timer that changes a view each time, and an animation: paused, the loop waits and nothing moves; a quarter runs at
// a quarter.
TEST_F(DrivenLoopTest, PausedNothingMovesAndAQuarterRunsAtAQuarter) {
  auto ownedPace = std::make_unique<FakePace>();
  FakePace& pace = *ownedPace;
  auto owned = std::make_unique<DrivenClock>(std::move(ownedPace));
  DrivenClock& clock = *owned;
  loop().reset(std::move(owned));
  auto view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  int fires = 0;
  auto timer = NSTimer::timerWithTimeInterval(0.1, true, [&](NSTimer&) { view->setAlpha(++fires % 2 ? 0.5 : 1.0); });
  loop().addTimer(timer, NSDefaultRunLoopMode);
  UIView::animateWithDuration(1.0, [&] { view->setBackgroundColor(UIColor::colorWithRed(0, 0, 1, 1)); });
  loop().runUntil(450ms);
  EXPECT_EQ(fires, 4);
  const auto colour = view->layer()->presentationBackgroundColor();

  clock.pause();
  const Nanoseconds pacedBefore = pace.now();
  {
    RecordingObserver heard;
    loop().run();  // until the fake pace stops it, after three waits on the descriptors alone
    EXPECT_EQ(heard.events, std::vector<std::string>{});  // no timer fired, no property set, no animation ended
  }
  EXPECT_EQ(pace.idleWaits, 3);
  EXPECT_EQ(pace.now(), pacedBefore + 3s);
  EXPECT_EQ(loop().now(), 450ms);
  EXPECT_EQ(fires, 4);
  EXPECT_EQ(view->layer()->presentationBackgroundColor(), colour);

  clock.setRate(25);
  clock.play();
  loop().runUntil(950ms);
  EXPECT_EQ(fires, 9);
  EXPECT_EQ(pace.now(), pacedBefore + 3s + 2s);  // half a second at a quarter took two on the pace
  timer->invalidate();
}

}  // namespace
