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
  image_->packedPixels(area, before_);
  renderWindow(*image_, window, options, area);
  image_->packedPixels(area, after_);
  const PixelRect changed = changedRect(before_, after_, area.width);
  if (changed.empty()) return {};
  return {area.x + changed.x, area.y + changed.y, changed.width, changed.height};
}

}  // namespace picture
