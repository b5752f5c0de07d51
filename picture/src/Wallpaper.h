// The home screen's wallpaper, drawn by code: a dark blue-violet gradient with
// two soft glows, one low behind the home indicator and one high on the left.
// Painted in window points over the whole window, so every crop and scale of
// the window shows the same wallpaper. Pure drawing; main thread only.
#pragma once

#include <cairo.h>

#include "CoreGraphics/CGGeometry.h"

namespace picture {

void paintWallpaper(cairo_t* cr, CGSize window);

}  // namespace picture
