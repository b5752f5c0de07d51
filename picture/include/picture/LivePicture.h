// A picture of the window kept from one drawing to the next, for a live view
// that sends only what changed: each drawing draws one area again (the rest
// stays as it was) and tells which rectangle of pixels changed, so that only
// that rectangle need be encoded and sent.
//
//   LivePicture live;
//   const PixelRect changed = live.draw(window, options, pixelArea(options, pillsBand(window)));
//   if (!changed.empty()) send(pngBytes(live.image(), changed));
//
// The first drawing, and any with other options (another size or region),
// draws the whole picture whatever the area. The caller says which area can
// have changed: what lies outside it is not looked at. It owns its image.
// Main thread only (the renderer's thread).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "picture/Image.h"
#include "picture/Renderer.h"

namespace picture {

class LivePicture {
 public:
  // Draws `area` again; returns the smallest rectangle holding every pixel
  // that changed (the whole picture on a first drawing; empty when none did).
  PixelRect draw(const UIView& window, const RenderOptions& options, PixelRect area);

  // The picture as last drawn; only after a first draw().
  const Image& image() const { return *image_; }

 private:
  std::optional<Image> image_;
  RenderOptions options_;
  // The area's pixels before and after a drawing, kept so that no drawing allocates them again.
  std::vector<std::uint32_t> before_;
  std::vector<std::uint32_t> after_;
};

}  // namespace picture
