#include "CellPainter.h"

#include <fmt/format.h>

namespace sim {
namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The pen along one paint: where the cursor is and which colours are set.
struct Pen {
  int column = -1;
  int row = -1;
  std::optional<picture::Rgb> foreground;
  std::optional<picture::Rgb> background;
};

void paintCell(std::string& out, Pen& pen, const Cell& cell, int column, int row) {
  if (pen.row != row || pen.column != column)
    fmt::format_to(std::back_inserter(out), "\x1b[{};{}H", row + 1, column + 1);
  if (pen.foreground != cell.foreground) {
    fmt::format_to(std::back_inserter(out), "\x1b[38;2;{};{};{}m", cell.foreground.red, cell.foreground.green,
                   cell.foreground.blue);
  }
  if (pen.background != cell.background) {
    fmt::format_to(std::back_inserter(out), "\x1b[48;2;{};{};{}m", cell.background.red, cell.background.green,
                   cell.background.blue);
  }
  appendUtf8(out, cell.glyph);
  pen = {column + 1, row, cell.foreground, cell.background};
}

}  // namespace

std::string CellPainter::paint(const CellGrid& grid) {
  const bool everything = !shown_ || shown_->columns() != grid.columns() || shown_->rows() != grid.rows();
  std::string out;
  if (everything) out = "\x1b[0m\x1b[2J";
  Pen pen;
  for (int row = 0; row < grid.rows(); ++row) {
    for (int column = 0; column < grid.columns(); ++column) {
      const Cell& cell = grid.at(column, row);
      if (everything || !(shown_->at(column, row) == cell)) paintCell(out, pen, cell, column, row);
    }
  }
  shown_ = grid;
  return out;
}

}  // namespace sim
