// The live preview: the window drawn by the one renderer (picture/Renderer.h)
// and published to the frame hub as PNG parts, when what the screen shows
// changed and someone is looking (a preview stream is open, or a whole
// picture was asked for). It keeps the picture between drawings
// (picture/LivePicture.h) and draws again only the pills' band, where every
// view of the window lies: what the host changes is there, and outside it the
// window shows only its wallpaper. So a drawing costs one band, and only the
// rectangle of it that changed is encoded and sent; a whole picture goes out
// first and whenever one is asked for (a new viewer, a still, a reader so far
// behind that the parts it needs are gone).
//
// `view` is what it draws: the whole window as a phone shows it, unlabelled
// (Full; the page shows the band enlarged beside it), or the pills' band
// alone with the pills' names (Pills). Its pacing is the live view's
// (host/FramePacer.h): at most 30 frames a second, on while an animation runs,
// nothing scheduled when nothing changes. While the studio's clock jumps
// through a span (a scrub, a step) it is held and draws nothing; while the
// clock stands still its pacer's next frame never comes, so it draws what
// changed at once instead (a respring, a setting), and nothing when nothing did.
//
//   Preview preview(scene.window(), ViewKind::Full, frames, events);
//   SceneWatcher watcher(nullptr, preview);   // tells it what changed
//   preview.wanted();                         // from the main queue: a whole picture soon
//
// It owns its pacer and its picture; the window and the hubs must outlive it.
// Main thread only (the server asks through the main queue).
#pragma once

#include <memory>

#include "Hubs.h"
#include "UIKit/UIView.h"
#include "host/FramePacer.h"
#include "picture/LivePicture.h"
#include "picture/PictureLook.h"

namespace studio {

// The preview's pixels per point.
inline constexpr double kPreviewScale = 2.0;

class Preview final : public host::SceneListener {
 public:
  Preview(const UIView& window, picture::ViewKind view, FrameHub& frames, EventHub& events);

  void sceneChanged() override {
    pacer_.sceneChanged();
    heard();
  }
  void animationBegan() override {
    pacer_.animationBegan();
    heard();
  }
  void animationEnded() override {
    pacer_.animationEnded();
    heard();
  }
  // A whole picture was asked for: one at the next frame, even if nothing changed.
  void wanted();

  enum class Pace {
    Live,   // paced by its pacer
    Held,   // nothing drawn
    Still,  // what changed drawn at once: the clock stands still
  };
  // Going Still draws what changed since the last picture sent.
  void setPace(Pace pace);

 private:
  void draw();
  // Once at the present instant, however often asked within it.
  void drawSoon();
  void heard();
  void publish(picture::PixelRect place, bool repeat, picture::PixelRect band);

  const UIView& window_;
  picture::ViewKind view_;
  FrameHub& frames_;
  EventHub& events_;
  picture::LivePicture live_;
  picture::PixelRect lastBand_;
  bool wholeWanted_ = false;
  Pace pace_ = Pace::Live;
  bool drawDue_ = false;
  host::FramePacer pacer_{[this] { draw(); }};
  std::shared_ptr<Preview*> self_ = std::make_shared<Preview*>(this);
};

}  // namespace studio
