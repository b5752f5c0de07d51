#include "picture/GifFile.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <fmt/std.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "MedianCut.h"

namespace picture {
namespace {

constexpr int kCentisecondsPerSecond = 100;

// Hundredths of a second from the start to frame k.
long startOf(std::size_t k, int fps) { return std::lround(static_cast<double>(k) * kCentisecondsPerSecond / fps); }

// A giflib colour map: a power of two of at least 2 entries, the spare ones black.
ColorMapObject* makeColorMap(const std::vector<Rgb>& palette) {
  int size = 2;
  while (static_cast<std::size_t>(size) < palette.size()) size *= 2;
  std::vector<GifColorType> colors(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < palette.size(); ++i) colors[i] = {palette[i].red, palette[i].green, palette[i].blue};
  return GifMakeMapObject(size, colors.data());
}

}  // namespace

std::size_t gifFrameCount(aurora::Nanoseconds duration, int fps) {
  const auto frames = std::llround(static_cast<double>(duration.count()) * fps / aurora::Nanoseconds::period::den);
  return static_cast<std::size_t>(std::max<long long>(frames, 1));
}

GifFile::GifFile(std::filesystem::path file, int width, int height, int fps)
    : path_(std::move(file)), width_(width), height_(height), fps_(fps) {
  if (fps < 1 || fps > kMostFps)
    throw std::invalid_argument(fmt::format("a GIF's frame rate must be 1 to {}, not {}", kMostFps, fps));
  // Opened here rather than by giflib, which would make the file readable by its owner alone.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error(fmt::format("cannot write the GIF {}: {}", path_, std::strerror(errno)));
  int error = 0;
  gif_ = EGifOpenFileHandle(fd, &error);
  if (gif_ == nullptr) {
    ::close(fd);
    throw std::runtime_error(fmt::format("cannot write the GIF {}: {}", path_, GifErrorString(error)));
  }
  try {
    writeHeader();
  } catch (const std::runtime_error&) {
    discard();
    throw;
  }
}

GifFile::~GifFile() { discard(); }

void GifFile::writeHeader() {
  EGifSetGifVersion(gif_, true);
  check(EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr), "the screen");
  // Loop for ever: NETSCAPE2.0, sub-block 1, loop count 0 (little-endian).
  static const char kApplication[] = "NETSCAPE2.0";
  const GifByteType loop[] = {1, 0, 0};
  check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE), "the loop extension");
  check(EGifPutExtensionBlock(gif_, 11, kApplication), "the loop extension");
  check(EGifPutExtensionBlock(gif_, 3, loop), "the loop extension");
  check(EGifPutExtensionTrailer(gif_), "the loop extension");
}

void GifFile::discard() {
  if (gif_ == nullptr) return;
  int error = 0;
  EGifCloseFile(std::exchange(gif_, nullptr), &error);
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

void GifFile::check(int result, const char* step) const {
  if (result != GIF_ERROR) return;
  throw std::runtime_error(fmt::format("cannot write the GIF {} ({}): {}", path_, step, GifErrorString(gif_->Error)));
}

void GifFile::addFrame(const Image& frame) {
  if (frame.width() != width_ || frame.height() != height_) {
    throw std::invalid_argument(
        fmt::format("a {} x {} frame for a {} x {} GIF", frame.width(), frame.height(), width_, height_));
  }
  std::vector<std::uint32_t> pixels = frame.packedPixels();
  PixelRect rect = previous_.empty() ? frame.bounds() : changedRect(previous_, pixels, width_);
  if (rect.empty()) rect = {0, 0, 1, 1};  // a frame holds at least one pixel
  IndexedPixels indexed = quantise(pixels, width_, rect);

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = static_cast<int>(startOf(frames_ + 1, fps_) - startOf(frames_, fps_));
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension), "a frame's delay");

  ColorMapObject* map = makeColorMap(indexed.palette);
  if (map == nullptr) throw std::runtime_error("out of memory for a GIF palette");
  const int described = EGifPutImageDesc(gif_, rect.x, rect.y, rect.width, rect.height, false, map);
  GifFreeMapObject(map);
  check(described, "a frame");
  for (int y = 0; y < rect.height; ++y) {
    check(EGifPutLine(gif_, indexed.indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rect.width),
                      rect.width),
          "a frame");
  }
  previous_ = std::move(pixels);
  ++frames_;
}

void GifFile::finish() {
  if (gif_ == nullptr) throw std::logic_error("the GIF is already finished");
  int error = 0;
  GifFileType* gif = std::exchange(gif_, nullptr);
  if (EGifCloseFile(gif, &error) == GIF_ERROR) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    throw std::runtime_error(fmt::format("cannot write the GIF {}: {}", path_, GifErrorString(error)));
  }
}

}  // namespace picture
