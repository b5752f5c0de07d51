// Paints one view and everything inside it onto a cairo context whose user
// space is the view's superview's coordinates, in points. See Renderer.h for
// what a view shows; this is the part that walks the view tree.
//
// Frames that are not finite are skipped (cairo would stop drawing altogether),
// and coordinates are held within a range cairo's fixed-point numbers can
// take. Main thread only.
#pragma once

#include <cairo.h>

#include "UIKit/UIView.h"

namespace picture {

void paintView(cairo_t* cr, const UIView& view);

}  // namespace picture
