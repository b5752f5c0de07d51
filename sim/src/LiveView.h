// The live view's drawing: the window rendered to fit a terminal, turned into
// half-block cells with the pills' class names written above them (where
// they fit) and a status line at the bottom, and sent to the terminal as only
// the cells that changed.
//
// It is the SceneWatcher's SceneListener and draws when its host::FramePacer says
// (host/FramePacer.h): soon after something visible changed, at most 30 times
// a second, on while a block animation runs, and not at all while nothing
// changes.
//
//   LiveView view(scene.window(), session, picture::ViewKind::Pills, [] { return "q quits"; });
//   view.sceneChanged();
//   NSRunLoop::mainRunLoop().run();
//
// The window and the screen must outlive the view; a frame still scheduled
// when the view is gone does nothing. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "CellPainter.h"
#include "UIKit/UIView.h"
#include "host/FramePacer.h"
#include "picture/PictureLook.h"

namespace sim {

struct TerminalSize {
  int columns = 0;
  int rows = 0;
};

// Where the live view draws: a terminal, or a stand-in for one in tests.
class TerminalScreen {
 public:
  virtual ~TerminalScreen() = default;
  virtual TerminalSize size() const = 0;
  virtual void write(std::string_view bytes) = 0;
};

class LiveView final : public host::SceneListener {
 public:
  LiveView(const UIView& window, TerminalScreen& screen, picture::ViewKind view, std::function<std::string()> status);

  // Something visible may have changed: draw soon.
  void sceneChanged() override { pacer_.sceneChanged(); }
  void animationBegan() override { pacer_.animationBegan(); }
  void animationEnded() override { pacer_.animationEnded(); }
  // The terminal changed size and lost what it showed: draw everything soon.
  void resized();

  // Frames drawn so far, including those that found nothing to send.
  std::size_t framesDrawn() const { return pacer_.framesDrawn(); }

 private:
  void drawFrame();

  const UIView& window_;
  TerminalScreen& screen_;
  picture::ViewKind view_;
  std::function<std::string()> status_;
  CellPainter painter_;
  host::FramePacer pacer_{[this] { drawFrame(); }};
};

}  // namespace sim
