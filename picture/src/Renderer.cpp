#include "picture/Renderer.h"

#include <fmt/format.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "ViewPainter.h"
#include "Wallpaper.h"

namespace picture {
namespace {

// Text sizes in points, so labels keep their size relative to the pills.
constexpr double kLabelPoints = 7.0;
constexpr double kLabelGapPoints = 3.0;
constexpr double kCaptionPoints = 9.0;
constexpr double kCaptionMarginPoints = 4.0;
// Labels of pills further out than this are not drawn: off the picture, and
// beyond what cairo's fixed-point coordinates hold.
constexpr double kFarAwayPixels = 1e5;

struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

// Window points to picture pixels.
void setWindowToPicture(cairo_t* cr, const RenderOptions& options) {
  cairo_scale(cr, options.scaleX, options.scaleY);
  cairo_translate(cr, -options.region.origin.x, -options.region.origin.y);
}

// What drawing keeps between pictures, for the life of the process.
//
// Successive pictures of a recording or of the live view share their
// geometry, and the wallpaper's three full-picture gradients cost most of a
// frame, so its pixels are drawn once per geometry and copied after.
//
// cairo and fontconfig keep every font they load until the process ends;
// handing their caches back at exit (after the last picture is gone) keeps
// leak checkers' reports to our own memory.
class DrawingCaches {
 public:
  ~DrawingCaches() {
    wallpaper_.reset();
    if (fontsUsed_) {
      cairo_debug_reset_static_data();
      FcFini();
    }
  }

  void noteFontsUsed() { fontsUsed_ = true; }

  const Image& wallpaper(const RenderOptions& options, CGSize window) {
    const WallpaperGeometry geometry{options.width,  options.height, options.scaleX,
                                     options.scaleY, options.region, window};
    if (!wallpaper_ || geometry != geometry_) {
      wallpaper_.reset();  // one picture's worth at a time
      wallpaper_ = std::make_unique<Image>(options.width, options.height);
      std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(wallpaper_->surface()));
      setWindowToPicture(context.get(), options);
      paintWallpaper(context.get(), window);
      wallpaper_->flush();
      geometry_ = geometry;
    }
    return *wallpaper_;
  }

 private:
  struct WallpaperGeometry {
    int width, height;
    double scaleX, scaleY;
    CGRect region;
    CGSize window;
    friend bool operator==(const WallpaperGeometry&, const WallpaperGeometry&) = default;
  };
  std::unique_ptr<Image> wallpaper_;
  WallpaperGeometry geometry_{};
  bool fontsUsed_ = false;
};

DrawingCaches& drawingCaches() {
  static DrawingCaches caches;
  return caches;
}

enum class Anchor { Left, Centre };

struct TextStyle {
  double size;  // pixels
  cairo_font_weight_t weight;
  double alpha;  // white text
};

// Text drawn in pixels, so a stretched picture still gets upright letters;
// (x, y) is the baseline's left end or middle.
void showText(cairo_t* cr, const std::string& text, double x, double y, const TextStyle& style, Anchor anchor) {
  drawingCaches().noteFontsUsed();
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, style.weight);
  cairo_set_font_size(cr, style.size);
  if (anchor == Anchor::Centre) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    x -= extents.x_advance / 2;
  }
  cairo_set_source_rgba(cr, 1, 1, 1, style.alpha);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
  cairo_restore(cr);
}

void labelPills(cairo_t* cr, const UIView& window, double pixelsPerPoint) {
  const TextStyle style{kLabelPoints * pixelsPerPoint, CAIRO_FONT_WEIGHT_NORMAL, 0.6};
  for (const auto& pill : window.subviews()) {
    const CGRect frame = pill->frame();
    double x = frame.origin.x + frame.size.width / 2, y = frame.origin.y - kLabelGapPoints;
    cairo_user_to_device(cr, &x, &y);
    if (!(std::abs(x) < kFarAwayPixels && std::abs(y) < kFarAwayPixels)) continue;  // NaN too
    showText(cr, object_getClassName(pill.get()), x, y, style, Anchor::Centre);
  }
}

}  // namespace

Image renderWindow(const UIView& window, const RenderOptions& options) {
  Image image(options.width, options.height);
  renderWindow(image, window, options, image.bounds());
  return image;
}

void renderWindow(Image& image, const UIView& window, const RenderOptions& options, PixelRect area) {
  std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(image.surface()));
  cairo_t* cr = context.get();
  cairo_rectangle(cr, area.x, area.y, area.width, area.height);
  cairo_clip(cr);

  cairo_set_source_surface(cr, drawingCaches().wallpaper(options, window.bounds().size).surface(), 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  setWindowToPicture(cr, options);
  paintView(cr, window);

  const double pixelsPerPoint = std::min(options.scaleX, options.scaleY);
  if (options.labels) labelPills(cr, window, pixelsPerPoint);
  if (!options.caption.empty()) {
    const double margin = kCaptionMarginPoints * pixelsPerPoint;
    const TextStyle style{kCaptionPoints * pixelsPerPoint, CAIRO_FONT_WEIGHT_BOLD, 0.85};
    showText(cr, options.caption, margin, margin + style.size, style, Anchor::Left);
  }

  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(fmt::format("drawing the window failed: {}", cairo_status_to_string(cairo_status(cr))));
  }
  image.flush();
}

}  // namespace picture
