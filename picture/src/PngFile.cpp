#include "picture/PngFile.h"

#include <stdexcept>

#include <fmt/format.h>
#include <fmt/std.h>

namespace picture {

void writePng(const Image& image, const std::filesystem::path& file) {
  image.flush();
  const cairo_status_t status = cairo_surface_write_to_png(image.surface(), file.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(fmt::format("cannot write the PNG {}: {}", file, cairo_status_to_string(status)));
  }
}

std::string pngBytes(const Image& image) {
  image.flush();
  std::string bytes;
  const auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  const cairo_status_t status = cairo_surface_write_to_png_stream(image.surface(), append, &bytes);
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(fmt::format("cannot make a PNG: {}", cairo_status_to_string(status)));
  return bytes;
}

}  // namespace picture
