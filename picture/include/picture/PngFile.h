// An Image as PNG (cairo's writer): to a file, or as bytes to send (all of
// it, or one rectangle of it). writePng throws std::runtime_error naming the
// file when it cannot be written. Main thread only.
#pragma once

#include <filesystem>
#include <string>

#include "picture/Image.h"

namespace picture {

void writePng(const Image& image, const std::filesystem::path& file);
std::string pngBytes(const Image& image);
// `area` lies within the image.
std::string pngBytes(const Image& image, PixelRect area);

}  // namespace picture
