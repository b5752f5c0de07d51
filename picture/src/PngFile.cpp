#include "picture/PngFile.h"

#include <stdexcept>

#include <fmt/format.h>
#include <fmt/std.h>

namespace sim {

void writePng(const Image& image, const std::filesystem::path& file) {
  image.flush();
  const cairo_status_t status = cairo_surface_write_to_png(image.surface(), file.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(fmt::format("cannot write the PNG {}: {}", file, cairo_status_to_string(status)));
  }
}

}  // namespace sim
