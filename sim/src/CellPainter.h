// Turns cell grids into the bytes a terminal needs to show them, remembering
// what it showed last so that only the cells that changed are sent again.
//
//   CellPainter painter;
//   screen.write(painter.paint(grid));   // "" when nothing changed
//
// The first paint, a paint of another size, and the first after forget()
// clear the screen and send every cell. Output: cursor positioning (CUP),
// 24-bit colours (SGR 38;2 / 48;2, sent only when they change along the way),
// and UTF-8 characters. The caller keeps the terminal from wrapping lines.
// Main thread only.
#pragma once

#include <optional>
#include <string>

#include "CellGrid.h"

namespace sim {

class CellPainter {
 public:
  std::string paint(const CellGrid& grid);
  // The terminal lost what it showed (a resize): the next paint sends everything.
  void forget() { shown_.reset(); }

 private:
  std::optional<CellGrid> shown_;
};

}  // namespace sim
