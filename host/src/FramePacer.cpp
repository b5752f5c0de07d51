#include "host/FramePacer.h"

#include <algorithm>

#include "Foundation/NSRunLoop.h"

namespace host {

void FramePacer::animationBegan() {
  ++animations_;
  requestFrame();
}

void FramePacer::animationEnded() {
  animations_ = std::max(animations_ - 1, 0);
  requestFrame();
}

void FramePacer::requestFrame() {
  if (framePending_) return;
  framePending_ = true;
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.performAt(std::max(loop.now(), lastFrame_ + kFrameInterval), [weak = std::weak_ptr<FramePacer*>(self_)] {
    if (auto self = weak.lock()) (*self)->drawFrame();
  });
}

void FramePacer::drawFrame() {
  framePending_ = false;
  lastFrame_ = NSRunLoop::mainRunLoop().now();
  ++framesDrawn_;
  draw_();
  if (animations_ > 0) requestFrame();
}

}  // namespace host
