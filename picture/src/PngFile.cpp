#include "picture/PngFile.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <memory>
#include <stdexcept>

namespace picture {

void writePng(const Image& image, const std::filesystem::path& file) {
  image.flush();
  const cairo_status_t status = cairo_surface_write_to_png(image.surface(), file.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(fmt::format("cannot write the PNG {}: {}", file, cairo_status_to_string(status)));
  }
}

std::string pngBytes(const Image& image) { return pngBytes(image, image.bounds()); }

std::string pngBytes(const Image& image, PixelRect area) {
  image.flush();
  // The area's pixels where they lie, read through a surface of their own: nothing copied.
  cairo_surface_t* whole = image.surface();
  const int stride = cairo_image_surface_get_stride(whole);
  unsigned char* first = cairo_image_surface_get_data(whole) + area.y * stride + area.x * 4;
  const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> part(
      cairo_image_surface_create_for_data(first, CAIRO_FORMAT_RGB24, area.width, area.height, stride),
      &cairo_surface_destroy);
  std::string bytes;
  const auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  const cairo_status_t status = cairo_surface_write_to_png_stream(part.get(), append, &bytes);
  if (status != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(fmt::format("cannot make a PNG: {}", cairo_status_to_string(status)));
  return bytes;
}

}  // namespace picture
