#include "Wallpaper.h"

namespace picture {
namespace {

struct Glow {
  double x, y, radius;  // as fractions of the window's width and height
  double red, green, blue, alpha;
};

void paintGlow(cairo_t* cr, CGSize window, const Glow& glow) {
  const double cx = glow.x * window.width, cy = glow.y * window.height, r = glow.radius * window.width;
  cairo_pattern_t* pattern = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
  cairo_pattern_add_color_stop_rgba(pattern, 0, glow.red, glow.green, glow.blue, glow.alpha);
  cairo_pattern_add_color_stop_rgba(pattern, 1, glow.red, glow.green, glow.blue, 0);
  cairo_set_source(cr, pattern);
  cairo_paint(cr);
  cairo_pattern_destroy(pattern);
}

}  // namespace

void paintWallpaper(cairo_t* cr, CGSize window) {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, window.width, window.height);
  cairo_clip(cr);

  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, window.height);
  cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.11, 0.14, 0.28);
  cairo_pattern_add_color_stop_rgb(sky, 0.55, 0.14, 0.10, 0.24);
  cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.05, 0.06, 0.11);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);

  paintGlow(cr, window, {0.5, 1.02, 0.9, 0.36, 0.22, 0.62, 0.45});
  paintGlow(cr, window, {0.15, 0.12, 0.8, 0.10, 0.45, 0.60, 0.30});
  cairo_restore(cr);
}

}  // namespace picture
