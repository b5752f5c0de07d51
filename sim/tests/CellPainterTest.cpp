// What reaches the terminal: everything the first time, then only the cells
// that changed, and nothing at all when nothing did.
#include "CellPainter.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

CellGrid grid(int columns, int rows, Rgb background) {
  CellGrid g(columns, rows);
  for (int row = 0; row < rows; ++row) g.putText(0, row, std::string(static_cast<std::size_t>(columns), ' '), {}, background);
  return g;
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(CellPainter, SendsEverythingTheFirstTimeWithColoursOnlyWhereTheyChange) {
  CellPainter painter;
  const std::string out = painter.paint(grid(3, 2, {1, 2, 3}));
  EXPECT_EQ(out.substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(out, "\x1b[0m\x1b[2J\x1b[1;1H\x1b[38;2;0;0;0m\x1b[48;2;1;2;3m   \x1b[2;1H   ");
}

TEST(CellPainter, SendsNothingWhenNothingChanged) {
  CellPainter painter;
  const CellGrid same = grid(40, 10, {9, 9, 9});
  EXPECT_FALSE(painter.paint(same).empty());
  EXPECT_EQ(painter.paint(same), "");
  EXPECT_EQ(painter.paint(grid(40, 10, {9, 9, 9})), "");
}

TEST(CellPainter, SendsOnlyTheCellsThatChanged) {
  CellPainter painter;
  CellGrid next = grid(40, 10, {9, 9, 9});
  painter.paint(next);
  next.putText(5, 3, "hi", {255, 255, 255}, {9, 9, 9});
  next.putText(0, 7, "\x7f", {0, 0, 0}, {0, 0, 0});
  const std::string out = painter.paint(next);
  EXPECT_EQ(out, "\x1b[4;6H\x1b[38;2;255;255;255m\x1b[48;2;9;9;9mhi\x1b[8;1H\x1b[38;2;0;0;0m\x1b[48;2;0;0;0m?");
  EXPECT_EQ(count(out, "H"), 2u);  // one move per run of changed cells
}

TEST(CellPainter, WritesTheHalfBlockInUtf8) {
  CellPainter painter;
  CellGrid g(1, 1);
  Image image(1, 2);
  g.drawImage(image);
  EXPECT_NE(painter.paint(g).find("\xe2\x96\x80"), std::string::npos);
}

TEST(CellPainter, RedrawsEverythingAfterForgettingOrAResize) {
  CellPainter painter;
  const CellGrid small = grid(3, 2, {1, 1, 1});
  painter.paint(small);
  painter.forget();
  EXPECT_EQ(painter.paint(small).substr(0, 8), "\x1b[0m\x1b[2J");
  const std::string bigger = painter.paint(grid(4, 2, {1, 1, 1}));
  EXPECT_EQ(bigger.substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(count(bigger, " "), 8u);
}

}  // namespace
}  // namespace sim
