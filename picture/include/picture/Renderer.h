// The renderer: draws the host's window as the screen shows it at the main run
// loop's current instant, into an Image.
//
// Everything comes from what the layers present now: each view's layer
// background (its presentation value, so a running block animation shows part
// way), a gradient layer's colours (spread evenly from startPoint to endPoint,
// both in the unit square of the layer's bounds, padded beyond them) over that
// background, corner radii, clipsToBounds (children clipped to the rounded
// bounds), and alpha clamped to 0..1 as group opacity over the view and
// everything inside it. Subviews are drawn after their parent, in order, in
// their frames. Under it all lies a wallpaper drawn by code; over it, when
// asked, each pill (a subview of the window) is labelled with its class name
// in small text above it, and a caption sits in the top-left corner.
//
//   Image picture = renderWindow(scene.window(), framePicture(scene.window(), PictureLook{}));
//   renderWindow(picture, scene.window(), options, area);   // only `area` drawn again
//
// The renderer only reads the views. Main thread only (it reads the platform's
// views and the run loop's clock).
#pragma once

#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIView.h"
#include "picture/Image.h"

namespace picture {

struct RenderOptions {
  CGRect region;  // the part of the window to draw, in points
  int width = 0;  // the picture's size, in pixels
  int height = 0;
  double scaleX = 3.0;  // pixels per point
  double scaleY = 3.0;
  bool labels = true;   // the pills' class names
  std::string caption;  // top-left; empty for none
  friend bool operator==(const RenderOptions&, const RenderOptions&) = default;
};

Image renderWindow(const UIView& window, const RenderOptions& options);
// Draws `area` of `image`, a picture made with `options`, again; the pixels
// outside it stay as they were.
void renderWindow(Image& image, const UIView& window, const RenderOptions& options, PixelRect area);

}  // namespace picture
