// The live preview: the window drawn by the one renderer (picture/Renderer.h)
// as a PNG and published to the frame hub, when what the screen shows changed
// and someone is looking (a preview stream is open, or a still was asked
// for). Its pacing is the live view's (host/FramePacer.h): at most 30 frames a
// second, on while an animation runs, nothing scheduled when nothing changes.
//
//   Preview preview(scene.window(), ViewKind::Pills, frames, events);
//   SceneWatcher watcher(nullptr, preview);   // tells it what changed
//   preview.wanted();                         // from the main queue: draw soon
//
// It owns its pacer; the window and the hubs must outlive it. Main thread
// only (the server asks through the main queue).
#pragma once

#include <cstdint>

#include "Hubs.h"
#include "host/FramePacer.h"
#include "picture/PictureLook.h"
#include "UIKit/UIView.h"

namespace studio {

// The preview's pixels per point.
inline constexpr double kPreviewScale = 2.0;

class Preview final : public host::SceneListener {
 public:
  Preview(const UIView& window, picture::ViewKind view, FrameHub& frames, EventHub& events);

  void sceneChanged() override { pacer_.sceneChanged(); }
  void animationBegan() override { pacer_.animationBegan(); }
  void animationEnded() override { pacer_.animationEnded(); }
  // A picture was asked for: draw at the next frame even if nothing changed.
  void wanted();

 private:
  void draw();

  const UIView& window_;
  picture::ViewKind view_;
  FrameHub& frames_;
  EventHub& events_;
  bool stillWanted_ = false;
  host::FramePacer pacer_{[this] { draw(); }};
};

}  // namespace studio
