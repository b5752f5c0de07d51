#include "CellGrid.h"

#include <algorithm>

namespace sim {
namespace {

picture::Rgb mean(picture::Rgb a, picture::Rgb b) {
  auto half = [](int x, int y) { return static_cast<std::uint8_t>((x + y + 1) / 2); };
  return {half(a.red, b.red), half(a.green, b.green), half(a.blue, b.blue)};
}

}  // namespace

CellGrid::CellGrid(int columns, int rows)
    : columns_(std::max(columns, 0)),
      rows_(std::max(rows, 0)),
      cells_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {}

void CellGrid::drawImage(const picture::Image& image) {
  const int columns = std::min(columns_, image.width());
  const int rows = std::min(rows_, (image.height() + 1) / 2);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const int lower = 2 * row + 1;
      cells_[index(column, row)] = {kUpperHalfBlock, image.pixel(column, 2 * row),
                                    lower < image.height() ? image.pixel(column, lower) : picture::Rgb{}};
    }
  }
}

template <class Background>
void CellGrid::writeText(int column, int row, std::string_view text, picture::Rgb foreground, Background background) {
  if (row < 0 || row >= rows_) return;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int at = column + static_cast<int>(i);
    if (at < 0 || at >= columns_) continue;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    Cell& cell = cells_[index(at, row)];
    cell = {c >= 0x20 && c < 0x7F ? char32_t{c} : U'?', foreground, background(cell)};
  }
}

void CellGrid::putText(int column, int row, std::string_view text, picture::Rgb foreground, picture::Rgb background) {
  writeText(column, row, text, foreground, [background](const Cell&) { return background; });
}

void CellGrid::putTextOverPicture(int column, int row, std::string_view text, picture::Rgb foreground) {
  writeText(column, row, text, foreground, [](const Cell& cell) {
    return cell.glyph == kUpperHalfBlock ? mean(cell.foreground, cell.background) : cell.background;
  });
}

}  // namespace sim
