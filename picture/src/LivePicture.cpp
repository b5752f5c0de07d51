#include "picture/LivePicture.h"

namespace picture {

PixelRect LivePicture::draw(const UIView& window, const RenderOptions& options, PixelRect area) {
  if (!image_ || options != options_) {
    image_.reset();  // one picture's worth at a time
    image_ = renderWindow(window, options);
    options_ = options;
    return image_->bounds();
  }
  if (area.empty()) return {};
  const std::vector<std::uint32_t> before = image_->packedPixels(area);
  renderWindow(*image_, window, options, area);
  const PixelRect changed = changedRect(before, image_->packedPixels(area), area.width);
  if (changed.empty()) return {};
  return {area.x + changed.x, area.y + changed.y, changed.width, changed.height};
}

}  // namespace picture
