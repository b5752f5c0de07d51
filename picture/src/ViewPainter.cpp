#include "ViewPainter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "QuartzCore/CAGradientLayer.h"

namespace picture {
namespace {

// Far beyond any screen, yet well inside cairo's fixed-point range.
constexpr double kFarAway = 1e5;

double tame(double value) { return std::clamp(value, -kFarAway, kFarAway); }

// NaN shows as nothing (0), like a component that is missing.
double unitInterval(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); }

bool isFinite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

void setSource(cairo_t* cr, const RGBA& c) {
  cairo_set_source_rgba(cr, unitInterval(c.red), unitInterval(c.green), unitInterval(c.blue), unitInterval(c.alpha));
}

void roundedRectangle(cairo_t* cr, double width, double height, double radius) {
  if (radius <= 0) {
    cairo_rectangle(cr, 0, 0, width, height);
    return;
  }
  constexpr double kQuarter = std::numbers::pi / 2;
  cairo_new_sub_path(cr);
  cairo_arc(cr, width - radius, radius, radius, -kQuarter, 0);
  cairo_arc(cr, width - radius, height - radius, radius, 0, kQuarter);
  cairo_arc(cr, radius, height - radius, radius, kQuarter, 2 * kQuarter);
  cairo_arc(cr, radius, radius, radius, 2 * kQuarter, 3 * kQuarter);
  cairo_close_path(cr);
}

// Fills the current path with the layer's colours, evenly spaced along its axis.
void fillGradient(cairo_t* cr, const CAGradientLayer& layer, double width, double height) {
  const auto& colors = layer.colors();
  const CGPoint start = layer.startPoint();
  const CGPoint end = layer.endPoint();
  if (colors.empty() || !std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(end.x) ||
      !std::isfinite(end.y))
    return;
  cairo_pattern_t* pattern = cairo_pattern_create_linear(tame(start.x * width), tame(start.y * height),
                                                         tame(end.x * width), tame(end.y * height));
  const std::size_t last = colors.size() - 1;
  for (std::size_t i = 0; i <= last; ++i) {
    const RGBA c = CGColorComponentsOrClear(colors[i]);
    const double offset = last == 0 ? 0.0 : static_cast<double>(i) / static_cast<double>(last);
    cairo_pattern_add_color_stop_rgba(pattern, offset, unitInterval(c.red), unitInterval(c.green), unitInterval(c.blue),
                                      unitInterval(c.alpha));
  }
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(pattern);
}

}  // namespace

void paintView(cairo_t* cr, const UIView& view) {
  const CGRect frame = view.frame();
  const double alpha = unitInterval(view.alpha());
  if (!isFinite(frame) || alpha == 0) return;
  const double width = std::max(0.0, tame(frame.size.width));
  const double height = std::max(0.0, tame(frame.size.height));

  cairo_save(cr);
  cairo_translate(cr, tame(frame.origin.x), tame(frame.origin.y));
  // Group opacity: the view and its subviews are composed first, then faded as one.
  const bool group = alpha < 1.0;
  if (group) cairo_push_group(cr);

  cairo_new_path(cr);
  if (CALayer* layer = view.layer()) {
    const double radius =
        std::isnan(layer->cornerRadius()) ? 0.0 : std::clamp(layer->cornerRadius(), 0.0, std::min(width, height) / 2);
    roundedRectangle(cr, width, height, radius);
    setSource(cr, layer->presentationBackgroundColor());
    cairo_fill_preserve(cr);
    if (const auto* gradient = objc_cast<CAGradientLayer>(layer)) fillGradient(cr, *gradient, width, height);
  } else {
    cairo_rectangle(cr, 0, 0, width, height);
  }
  if (view.clipsToBounds()) {
    cairo_clip(cr);
  } else {
    cairo_new_path(cr);
  }
  for (const auto& subview : view.subviews()) paintView(cr, *subview);

  if (group) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
  }
  cairo_restore(cr);
}

}  // namespace picture
