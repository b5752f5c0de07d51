// The simulator's pictures of ten pills (TenPillScene.h): one rendered frame
// and one GIF frame, each beside the least work it needs.
//
// A rendered frame at least fills a picture of the same size and draws the
// ten pills' rounded shapes in it. A GIF frame at least maps each pixel to a
// fixed palette and compresses the frame (giflib). The real ones also draw
// the wallpaper, gradients, group opacity and labels, and find each frame's
// changed rectangle and palette.
#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"
#include "Operations.h"
#include "TenPillScene.h"
#include "picture/Framing.h"
#include "picture/GifFile.h"

namespace bench {
namespace {

constexpr int kFps = 25;

picture::RenderOptions gifFraming(const host::Scene& scene) {
  return picture::framePicture(scene.window(), picture::PictureLook{picture::ViewKind::Pills, 3.0});
}

const host::Scene& filled(host::Scene& scene) {
  fillTenPillScene(scene);
  return scene;
}

void check(int result, const char* step) {
  if (result == GIF_ERROR) throw std::runtime_error(std::string("giflib failed at ") + step);
}

class RenderFrame final : public Operation {
 public:
  RenderFrame() {
    fillTenPillScene(scene_);
    options_ = gifFraming(scene_);
  }
  void run() override { picture::renderWindow(scene_.window(), options_); }

 private:
  host::Scene scene_;
  picture::RenderOptions options_;
};

class FilledShapes final : public Operation {
 public:
  FilledShapes() {
    fillTenPillScene(scene_);
    options_ = gifFraming(scene_);
    for (const auto& pill : scene_.window().subviews()) frames_.push_back(pill->frame());
  }
  void run() override {
    picture::Image image(options_.width, options_.height);
    cairo_t* cr = cairo_create(image.surface());
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.2);
    cairo_paint(cr);
    cairo_scale(cr, options_.scaleX, options_.scaleY);
    cairo_translate(cr, -options_.region.origin.x, -options_.region.origin.y);
    cairo_set_source_rgb(cr, 0.9, 0.3, 0.4);
    for (const CGRect& frame : frames_) {
      const double r = frame.size.height / 2, x = frame.origin.x, y = frame.origin.y, w = frame.size.width;
      cairo_new_sub_path(cr);
      cairo_arc(cr, x + w - r, y + r, r, -std::numbers::pi / 2, std::numbers::pi / 2);
      cairo_arc(cr, x + r, y + r, r, std::numbers::pi / 2, 3 * std::numbers::pi / 2);
      cairo_close_path(cr);
      cairo_fill(cr);
    }
    cairo_destroy(cr);
    image.flush();
  }

 private:
  host::Scene scene_;
  picture::RenderOptions options_;
  std::vector<CGRect> frames_;
};

// Two consecutive frames of the animation, added in turn, so that every
// frame differs from the one before as a running GIF's do.
struct TwoFrames {
  explicit TwoFrames(const host::Scene& scene) : options(gifFraming(scene)) {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    frames[0] = picture::renderWindow(scene.window(), options);
    loop.runFor(std::chrono::nanoseconds(1'000'000'000 / kFps));
    frames[1] = picture::renderWindow(scene.window(), options);
  }
  picture::RenderOptions options;
  std::array<std::optional<picture::Image>, 2> frames;
};

class GifFrame final : public Operation {
 public:
  GifFrame()
      : frames_(filled(scene_)), gif_(scratchFile("frames.gif"), frames_.options.width, frames_.options.height, kFps) {}
  void run() override { gif_.addFrame(*frames_.frames[next_ ^= 1]); }

 private:
  host::Scene scene_;
  TwoFrames frames_;
  picture::GifFile gif_;
  std::size_t next_ = 0;
};

// 3-3-2 bits of red, green and blue: a palette that needs no search.
class FixedPaletteGif final : public Operation {
 public:
  FixedPaletteGif() : frames_(filled(scene_)) {
    int error = 0;
    gif_ = EGifOpenFileName(scratchFile("fixed.gif").c_str(), false, &error);
    if (gif_ == nullptr) throw std::runtime_error(std::string("giflib: ") + GifErrorString(error));
    std::array<GifColorType, 256> colors{};
    for (int i = 0; i < 256; ++i) {
      colors[static_cast<std::size_t>(i)] = {static_cast<GifByteType>((i >> 5) * 255 / 7),
                                             static_cast<GifByteType>(((i >> 2) & 7) * 255 / 7),
                                             static_cast<GifByteType>((i & 3) * 255 / 3)};
    }
    map_ = GifMakeMapObject(256, colors.data());
    check(EGifPutScreenDesc(gif_, frames_.options.width, frames_.options.height, 8, 0, map_), "the screen");
    line_.resize(static_cast<std::size_t>(frames_.options.width));
  }
  ~FixedPaletteGif() override {
    int error = 0;
    EGifCloseFile(gif_, &error);
    GifFreeMapObject(map_);
  }
  void run() override {
    const picture::Image& frame = *frames_.frames[next_ ^= 1];
    const int width = frame.width(), height = frame.height();
    check(EGifPutImageDesc(gif_, 0, 0, width, height, false, nullptr), "a frame");
    const unsigned char* data = cairo_image_surface_get_data(frame.surface());
    const int stride = cairo_image_surface_get_stride(frame.surface());
    for (int y = 0; y < height; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = row[x];
        line_[static_cast<std::size_t>(x)] =
            static_cast<GifPixelType>(((p >> 16) & 0xE0) | ((p >> 11) & 0x1C) | ((p >> 6) & 0x03));
      }
      check(EGifPutLine(gif_, line_.data(), width), "a line");
    }
  }

 private:
  host::Scene scene_;
  TwoFrames frames_;
  GifFileType* gif_ = nullptr;
  ColorMapObject* map_ = nullptr;
  std::vector<GifPixelType> line_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<Operation> makeRenderFrame() { return std::make_unique<RenderFrame>(); }
std::unique_ptr<Operation> makeRenderBaseline() { return std::make_unique<FilledShapes>(); }
std::unique_ptr<Operation> makeGifFrame() { return std::make_unique<GifFrame>(); }
std::unique_ptr<Operation> makeGifBaseline() { return std::make_unique<FixedPaletteGif>(); }

}  // namespace bench
