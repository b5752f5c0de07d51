// The live view's drawing: the window rendered to fit a terminal, turned into
// half-block cells with the pills' class names written above them (where
// they fit) and a status line at the bottom, and sent to the terminal as only
// the cells that changed.
//
// It draws when told something visible changed (it is the SceneWatcher's
// SceneListener), never more often than 30 times a second, and keeps drawing
// every thirtieth of a second only while a block animation runs (the
// presentation moves with no setter being called). Frames are host commands on the main run loop
// (performAt), so they make no timers and leave no trace. When nothing
// changes and nothing animates, nothing is scheduled and the run loop sleeps.
//
//   LiveView view(scene.window(), session, ViewKind::Pills, [] { return "q quits"; });
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
#include "aurora/Time.h"
#include "host/SceneListener.h"
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

class LiveView final : public SceneListener {
 public:
  // At most this often.
  static constexpr aurora::Nanoseconds kFrameInterval{33'333'334};

  LiveView(const UIView& window, TerminalScreen& screen, ViewKind view, std::function<std::string()> status);

  // Something visible may have changed: draw soon.
  void sceneChanged() override;
  void animationBegan() override;
  void animationEnded() override;
  // The terminal changed size and lost what it showed: draw everything soon.
  void resized();

  // Frames drawn so far, including those that found nothing to send.
  std::size_t framesDrawn() const { return framesDrawn_; }

 private:
  void requestFrame();
  void drawFrame();

  const UIView& window_;
  TerminalScreen& screen_;
  ViewKind view_;
  std::function<std::string()> status_;
  CellPainter painter_;
  int animations_ = 0;
  bool framePending_ = false;
  aurora::Nanoseconds lastFrame_ = aurora::Nanoseconds::min() / 2;
  std::size_t framesDrawn_ = 0;
  std::shared_ptr<LiveView*> self_ = std::make_shared<LiveView*>(this);
};

}  // namespace sim
