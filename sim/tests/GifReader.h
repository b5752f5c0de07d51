// Reading a GIF back with giflib for the tests: its frames as they are stored,
// their delays, whether it loops, and each frame composed over the ones before.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "Image.h"
#include "MedianCut.h"

namespace sim::test {

struct GifFrame {
  PixelRect rect;
  int delay = 0;          // hundredths of a second
  bool localPalette = false;
  std::vector<std::uint32_t> screen;  // the whole picture once this frame is drawn, 0xRRGGBB
};

struct DecodedGif {
  int width = 0;
  int height = 0;
  std::optional<int> loopCount;  // from NETSCAPE2.0; nothing when absent
  std::vector<GifFrame> frames;
};

// Nothing when giflib cannot read it.
std::optional<DecodedGif> readGif(const std::filesystem::path& file);

}  // namespace sim::test
