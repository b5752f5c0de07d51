#include "LiveView.h"

#include <algorithm>
#include <cmath>

#include "CellGrid.h"
#include "picture/Framing.h"
#include "picture/Renderer.h"

namespace sim {
namespace {

constexpr picture::Rgb kLabelColor{205, 205, 220};
constexpr picture::Rgb kStatusText{235, 235, 240};
constexpr picture::Rgb kStatusBackground{38, 36, 58};

void labelPills(CellGrid& grid, const UIView& window, const picture::RenderOptions& framing) {
  for (const auto& pill : window.subviews()) {
    const CGRect frame = pill->frame();
    const CGPoint top = picture::toPixels(framing, {frame.origin.x + frame.size.width / 2, frame.origin.y});
    if (!(std::abs(top.x) < 1e6 && std::abs(top.y) < 1e6)) continue;  // NaN too
    const std::string name = object_getClassName(pill.get());
    // A label wider than its pill would run into its neighbour's.
    if (static_cast<double>(name.size()) > frame.size.width * framing.scaleX) continue;
    const int row = static_cast<int>(std::floor(top.y / 2)) - 1;
    const int column = static_cast<int>(std::lround(top.x)) - static_cast<int>(name.size() / 2);
    grid.putTextOverPicture(column, row, name, kLabelColor);
  }
}

}  // namespace

LiveView::LiveView(const UIView& window, TerminalScreen& screen, picture::ViewKind view,
                   std::function<std::string()> status)
    : window_(window), screen_(screen), view_(view), status_(std::move(status)) {}

void LiveView::resized() {
  painter_.forget();
  pacer_.requestFrame();
}

void LiveView::drawFrame() {
  const TerminalSize size = screen_.size();
  if (size.columns >= 1 && size.rows >= 2) {
    const int pictureRows = size.rows - 1;
    const picture::RenderOptions framing = frameTerminal(window_, view_, size.columns, 2 * pictureRows);
    CellGrid grid(size.columns, size.rows);
    grid.drawImage(picture::renderWindow(window_, framing));
    labelPills(grid, window_, framing);
    std::string status = status_();
    status.resize(static_cast<std::size_t>(size.columns), ' ');
    grid.putText(0, size.rows - 1, status, kStatusText, kStatusBackground);
    if (std::string bytes = painter_.paint(grid); !bytes.empty()) screen_.write(bytes);
  }
}

}  // namespace sim
