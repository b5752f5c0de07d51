#include "Preview.h"

#include <fmt/format.h>

#include "picture/Framing.h"
#include "picture/PngFile.h"
#include "picture/Renderer.h"

namespace studio {

Preview::Preview(const UIView& window, picture::ViewKind view, FrameHub& frames, EventHub& events)
    : window_(window), view_(view), frames_(frames), events_(events) {}

void Preview::wanted() {
  stillWanted_ = true;
  pacer_.requestFrame();
}

void Preview::draw() {
  // Nobody looking: drawing would only warm the machine.
  if (!stillWanted_ && frames_.streams() == 0) return;
  stillWanted_ = false;
  const picture::RenderOptions options = picture::framePicture(window_, {view_, kPreviewScale});
  const std::uint64_t before = frames_.latest().number;
  const std::uint64_t number = frames_.publish(picture::pngBytes(picture::renderWindow(window_, options)));
  if (number != before) events_.publish("frame", fmt::format("{{\"frame\":{}}}", number));
}

}  // namespace studio
