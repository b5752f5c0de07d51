// Writing an Image as a PNG file (cairo's writer). Throws std::runtime_error
// naming the file when it cannot be written. Main thread only.
#pragma once

#include <filesystem>

#include "picture/Image.h"

namespace sim {

void writePng(const Image& image, const std::filesystem::path& file);

}  // namespace sim
