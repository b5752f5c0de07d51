// When a front-end that draws the screen draws: soon after it is told that
// something visible may have changed, never more often than 30 times a
// second, and every thirtieth of a second only while a block animation runs
// (the presentation moves with no setter being called). Frames are host
// commands on the main run loop (performAt), so they make no timers and leave
// no trace; when nothing changes and nothing animates, nothing is scheduled
// and the run loop sleeps. The live view and the studio's preview draw so.
//
//   FramePacer pacer([&] { draw(); });
//   SceneWatcher watcher(nullptr, pacer);  // or forward its three calls
//
// The pacer owns its draw function; a frame still scheduled when the pacer
// is gone does nothing. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "aurora/Time.h"
#include "host/SceneListener.h"

namespace host {

class FramePacer final : public SceneListener {
 public:
  // At most this often.
  static constexpr aurora::Nanoseconds kFrameInterval{33'333'334};

  explicit FramePacer(std::function<void()> draw) : draw_(std::move(draw)) {}

  void sceneChanged() override { requestFrame(); }
  void animationBegan() override;
  void animationEnded() override;
  // Draw at the next frame.
  void requestFrame();

  // Frames drawn so far.
  std::size_t framesDrawn() const { return framesDrawn_; }

 private:
  void drawFrame();

  std::function<void()> draw_;
  int animations_ = 0;
  bool framePending_ = false;
  aurora::Nanoseconds lastFrame_ = aurora::Nanoseconds::min() / 2;
  std::size_t framesDrawn_ = 0;
  std::shared_ptr<FramePacer*> self_ = std::make_shared<FramePacer*>(this);
};

}  // namespace host
