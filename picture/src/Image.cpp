#include "picture/Image.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace picture {

Image::Image(int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)), width_(width), height_(height) {
  const cairo_status_t status = cairo_surface_status(surface_.get());
  if (status != CAIRO_STATUS_SUCCESS || width <= 0 || height <= 0) {
    throw std::runtime_error(
        fmt::format("cannot make a {} x {} pixel image: {}", width, height, cairo_status_to_string(status)));
  }
}

namespace {

const std::uint32_t* row(cairo_surface_t* surface, int y) {
  return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                y * cairo_image_surface_get_stride(surface));
}

}  // namespace

Rgb Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range(fmt::format("no pixel ({}, {})", x, y));
  return unpackRgb(row(surface_.get(), y)[x] & 0xFFFFFFu);
}

std::vector<std::uint32_t> Image::packedPixels(PixelRect area) const {
  std::vector<std::uint32_t> pixels;
  packedPixels(area, pixels);
  return pixels;
}

void Image::packedPixels(PixelRect area, std::vector<std::uint32_t>& pixels) const {
  const auto width = static_cast<std::size_t>(area.width);
  pixels.resize(width * static_cast<std::size_t>(area.height));
  std::uint32_t* out = pixels.data();
  for (int y = area.y; y < area.y + area.height; ++y, out += width) {
    const std::uint32_t* line = row(surface_.get(), y) + area.x;
    for (std::size_t x = 0; x < width; ++x) out[x] = line[x] & 0xFFFFFFu;
  }
}

PixelRect changedRect(std::span<const std::uint32_t> before, std::span<const std::uint32_t> now, int width) {
  const int height = width > 0 ? static_cast<int>(now.size()) / width : 0;
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* was = before.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    const std::uint32_t* is = now.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    const auto first = std::mismatch(was, was + width, is).first;
    if (first == was + width) continue;  // the row is unchanged
    const auto last = std::mismatch(std::make_reverse_iterator(was + width), std::make_reverse_iterator(first),
                                    std::make_reverse_iterator(is + width))
                          .first;
    left = std::min(left, static_cast<int>(first - was));
    right = std::max(right, static_cast<int>(last.base() - was) - 1);
    top = std::min(top, y);
    bottom = y;
  }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace picture
