// Which part of the window a picture shows, and at what scale: the whole
// window (`full`) or the band of the pills (`pills`), for a file at a given
// scale or for a terminal of a given size.
//
// The pills band is the window's full width, from 32 points above the highest
// pill (room for its label and a caption) to 8 points below the lowest, within
// the window; with no pills, the bottom 48 points, where the home indicator
// lives. It is taken from the pills as they stand when it is asked for.
//
// In a terminal the window's width (full view: the whole window, kept in
// proportion) fills the columns. The pills band is stretched upright (eight
// times at most) when the pills would otherwise stand less than two character
// rows (four pixels) tall: pills are 5 points high and 134 wide, and most
// terminals are only a few hundred pixels across. Pure functions of the
// views; main thread only.
#pragma once

#include "picture/PictureLook.h"
#include "picture/Renderer.h"

namespace picture {

CGRect pillsBand(const UIView& window);

// A file's picture, pills labelled.
RenderOptions framePicture(const UIView& window, const PictureLook& look);
// A terminal picture of `columns` x `pixelRows` pixels, without text (the
// terminal writes its own).
RenderOptions frameTerminal(const UIView& window, ViewKind view, int columns, int pixelRows);

// Where a point of the window lands in the picture, in pixels.
CGPoint toPixels(const RenderOptions& options, CGPoint point);
// The picture's pixels that show any of `points` (a rectangle of the window),
// within the picture; empty when it shows none of it.
PixelRect pixelArea(const RenderOptions& options, CGRect points);

}  // namespace picture
