#include "Preview.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>

#include "Foundation/NSRunLoop.h"
#include "picture/Framing.h"
#include "picture/PngFile.h"

namespace studio {
namespace {

// The smallest rectangle holding both.
picture::PixelRect joined(picture::PixelRect a, picture::PixelRect b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  return {left, top, std::max(a.x + a.width, b.x + b.width) - left, std::max(a.y + a.height, b.y + b.height) - top};
}

}  // namespace

Preview::Preview(const UIView& window, picture::ViewKind view, FrameHub& frames, EventHub& events)
    : window_(window), view_(view), frames_(frames), events_(events) {}

void Preview::wanted() {
  wholeWanted_ = true;
  pacer_.requestFrame();
  heard();
}

void Preview::setPace(Pace pace) {
  pace_ = pace;
  if (pace == Pace::Still) drawSoon();
  if (pace == Pace::Live) pacer_.requestFrame();
}

void Preview::heard() {
  if (pace_ == Pace::Still) drawSoon();
}

void Preview::drawSoon() {
  if (drawDue_) return;
  drawDue_ = true;
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.performAt(loop.now(), [weak = std::weak_ptr<Preview*>(self_)] {
    if (auto self = weak.lock()) {
      (*self)->drawDue_ = false;
      (*self)->draw();
    }
  });
}

void Preview::draw() {
  if (pace_ == Pace::Held) return;
  // Nobody looking: drawing would only warm the machine. The picture kept is
  // what was last sent, so the next drawing sends what changed since.
  if (!wholeWanted_ && frames_.streams() == 0) return;
  picture::RenderOptions options = picture::framePicture(window_, {view_, kPreviewScale});
  options.labels = view_ == picture::ViewKind::Pills;  // a phone shows no names
  const picture::PixelRect band = picture::pixelArea(options, picture::pillsBand(window_));
  // Where the pills were and where they are now.
  const picture::PixelRect changed = live_.draw(window_, options, joined(band, lastBand_));
  lastBand_ = band;
  const bool whole = changed == live_.image().bounds();
  if (!changed.empty()) publish(changed, false, band);
  if (wholeWanted_ && !whole) publish(live_.image().bounds(), true, band);
  wholeWanted_ = false;
}

void Preview::publish(picture::PixelRect place, bool repeat, picture::PixelRect band) {
  const picture::Image& image = live_.image();
  const std::uint64_t number =
      frames_.publish({0, place == image.bounds(), repeat, place, image.width(), image.height(), band,
                       std::make_shared<const std::string>(picture::pngBytes(image, place))});
  if (!repeat) events_.publish("frame", fmt::format("{{\"frame\":{}}}", number));
}

}  // namespace studio
