// What a terminal shows, cell by cell: a character with its foreground and
// background colour. A picture becomes cells with the upper half block
// (U+2580): its foreground is the upper pixel and its background the lower
// one, so each cell holds two square-ish pixels. Text (labels, the status
// line) is ASCII written over cells.
//
//   CellGrid grid(columns, rows);
//   grid.drawImage(picture);                  // rows 0 .. picture height / 2
//   grid.putText(0, rows - 1, " q quits", white, grey);
//
// A plain value; any thread.
#pragma once

#include <string_view>
#include <vector>

#include "picture/Image.h"

namespace sim {

inline constexpr char32_t kUpperHalfBlock = U'\u2580';

struct Cell {
  char32_t glyph = U' ';
  picture::Rgb foreground;
  picture::Rgb background;
  friend bool operator==(const Cell&, const Cell&) = default;
};

class CellGrid {
 public:
  // Blank: spaces on black.
  CellGrid(int columns, int rows);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  const Cell& at(int column, int row) const { return cells_[index(column, row)]; }

  // The picture from the top-left cell on, two pixel rows to a cell row,
  // clipped to the grid; a last odd pixel row gets black below it.
  void drawImage(const picture::Image& image);
  // ASCII text from (column, row) on, clipped to the grid; other bytes show as '?'.
  void putText(int column, int row, std::string_view text, picture::Rgb foreground, picture::Rgb background);
  // The same over the picture: each letter's background is the mean of the
  // two pixels its cell showed.
  void putTextOverPicture(int column, int row, std::string_view text, picture::Rgb foreground);

  friend bool operator==(const CellGrid&, const CellGrid&) = default;

 private:
  std::size_t index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
  }
  template <class Background>
  void writeText(int column, int row, std::string_view text, picture::Rgb foreground, Background background);

  int columns_;
  int rows_;
  std::vector<Cell> cells_;
};

}  // namespace sim
