// Cells from pictures and text: two pixels to a cell, ASCII over them.
#include "CellGrid.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

// A 3 x 3 picture whose pixel (x, y) is (10x, 10y, 0).
Image ramp() {
  Image image(3, 3);
  cairo_t* cr = cairo_create(image.surface());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      cairo_set_source_rgb(cr, 10 * x / 255.0, 10 * y / 255.0, 0);
      cairo_rectangle(cr, x, y, 1, 1);
      cairo_fill(cr);
    }
  }
  cairo_destroy(cr);
  image.flush();
  return image;
}

TEST(CellGrid, StartsBlank) {
  const CellGrid grid(2, 1);
  EXPECT_EQ(grid.at(1, 0), (Cell{U' ', {}, {}}));
}

TEST(CellGrid, PutsTwoPixelsInEachCellUpperOneInFront) {
  CellGrid grid(4, 3);
  grid.drawImage(ramp());
  EXPECT_EQ(grid.at(0, 0), (Cell{kUpperHalfBlock, {0, 0, 0}, {0, 10, 0}}));
  EXPECT_EQ(grid.at(2, 0), (Cell{kUpperHalfBlock, {20, 0, 0}, {20, 10, 0}}));
  EXPECT_EQ(grid.at(1, 1), (Cell{kUpperHalfBlock, {10, 20, 0}, {0, 0, 0}}));  // the odd last row: black below
  EXPECT_EQ(grid.at(3, 0), (Cell{}));  // beyond the picture
  EXPECT_EQ(grid.at(0, 2), (Cell{}));
}

TEST(CellGrid, WritesAsciiTextClippedToTheGrid) {
  CellGrid grid(4, 2);
  grid.putText(-1, 1, "ab\x01\xc3xyz", {1, 2, 3}, {4, 5, 6});
  EXPECT_EQ(grid.at(0, 1), (Cell{U'b', {1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(grid.at(1, 1).glyph, U'?');
  EXPECT_EQ(grid.at(2, 1).glyph, U'?');
  EXPECT_EQ(grid.at(3, 1).glyph, U'x');
  grid.putText(0, 2, "off the grid", {}, {});
  EXPECT_EQ(grid.at(0, 0), (Cell{}));
}

TEST(CellGrid, TextOverThePictureTakesTheMeanOfTheCellsTwoPixels) {
  CellGrid grid(3, 2);
  grid.drawImage(ramp());
  grid.putTextOverPicture(2, 0, "Z", {200, 200, 200});
  EXPECT_EQ(grid.at(2, 0), (Cell{U'Z', {200, 200, 200}, {20, 5, 0}}));
}

}  // namespace
}  // namespace sim
