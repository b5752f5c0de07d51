#include "picture/Framing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace picture {
namespace {

constexpr double kTextRoomPoints = 32;
constexpr double kBelowPillsPoints = 8;
constexpr double kHomeIndicatorBandPoints = 48;
constexpr double kMinimumPillPixels = 4;
constexpr double kMostStretch = 8;

// `length` points long, centred on `centre`, moved to lie within 0..`limit` when it fits.
double placeSpan(double centre, double length, double limit) {
  const double start = centre - length / 2;
  if (length >= limit) return (limit - length) / 2;
  return std::clamp(start, 0.0, limit - length);
}

int pixels(double points, double scale) { return std::max(1, static_cast<int>(std::lround(points * scale))); }

}  // namespace

CGRect pillsBand(const UIView& window) {
  const CGSize size = window.bounds().size;
  double top = std::numeric_limits<double>::infinity(), bottom = -top;
  for (const auto& pill : window.subviews()) {
    const CGRect frame = pill->frame();
    if (!std::isfinite(frame.origin.y) || !std::isfinite(frame.size.height)) continue;
    top = std::min(top, frame.origin.y);
    bottom = std::max(bottom, frame.origin.y + frame.size.height);
  }
  if (!(top <= bottom))
    return CGRectMake(0, size.height - kHomeIndicatorBandPoints, size.width, kHomeIndicatorBandPoints);
  top = std::clamp(top - kTextRoomPoints, 0.0, size.height);
  bottom = std::clamp(bottom + kBelowPillsPoints, 0.0, size.height);
  if (bottom - top < 1)
    return CGRectMake(0, size.height - kHomeIndicatorBandPoints, size.width, kHomeIndicatorBandPoints);
  return CGRectMake(0, top, size.width, bottom - top);
}

RenderOptions framePicture(const UIView& window, const PictureLook& look) {
  RenderOptions options;
  options.region = look.view == ViewKind::Full ? window.bounds() : pillsBand(window);
  options.width = pixels(options.region.size.width, look.scale);
  options.height = pixels(options.region.size.height, look.scale);
  options.scaleX = options.scaleY = look.scale;
  return options;
}

RenderOptions frameTerminal(const UIView& window, ViewKind view, int columns, int pixelRows) {
  const CGSize size = window.bounds().size;
  RenderOptions options;
  options.width = columns;
  options.height = pixelRows;
  options.labels = false;
  if (view == ViewKind::Full) {
    options.scaleX = options.scaleY = std::min(columns / size.width, pixelRows / size.height);
  } else {
    options.scaleX = columns / size.width;
    double lowestPill = std::numeric_limits<double>::infinity();
    for (const auto& pill : window.subviews()) {
      if (pill->frame().size.height > 0) lowestPill = std::min(lowestPill, pill->frame().size.height);
    }
    const double wanted = std::isfinite(lowestPill) ? kMinimumPillPixels / lowestPill : 0.0;
    options.scaleY = std::clamp(wanted, options.scaleX, kMostStretch * options.scaleX);
  }
  const CGRect focus = view == ViewKind::Full ? window.bounds() : pillsBand(window);
  const double width = columns / options.scaleX, height = pixelRows / options.scaleY;
  options.region = CGRectMake(placeSpan(focus.origin.x + focus.size.width / 2, width, size.width),
                              placeSpan(focus.origin.y + focus.size.height / 2, height, size.height), width, height);
  return options;
}

CGPoint toPixels(const RenderOptions& options, CGPoint point) {
  return {(point.x - options.region.origin.x) * options.scaleX, (point.y - options.region.origin.y) * options.scaleY};
}

PixelRect pixelArea(const RenderOptions& options, CGRect points) {
  const CGPoint start = toPixels(options, points.origin);
  const CGPoint end =
      toPixels(options, CGPointMake(points.origin.x + points.size.width, points.origin.y + points.size.height));
  const auto edge = [](double pixels, int limit, double (*round)(double)) {
    return static_cast<int>(std::clamp(round(pixels), 0.0, static_cast<double>(limit)));
  };
  const int left = edge(start.x, options.width, std::floor), top = edge(start.y, options.height, std::floor);
  const int right = edge(end.x, options.width, std::ceil), bottom = edge(end.y, options.height, std::ceil);
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

}  // namespace picture
