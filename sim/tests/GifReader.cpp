#include "GifReader.h"

#include <cstring>
#include <span>

#include <gif_lib.h>

namespace sim::test {
namespace {

std::optional<int> loopCountIn(std::span<const ExtensionBlock> blocks) {
  for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
    if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
        std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[i + 1].ByteCount == 3 && blocks[i + 1].Bytes[0] == 1) {
      return blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<DecodedGif> readGif(const std::filesystem::path& file) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
  if (gif == nullptr) return std::nullopt;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return std::nullopt;
  }
  DecodedGif decoded{gif->SWidth, gif->SHeight, loopCountIn({gif->ExtensionBlocks, static_cast<std::size_t>(gif->ExtensionBlockCount)}), {}};
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(gif->SWidth) * static_cast<std::size_t>(gif->SHeight), 0);
  for (int k = 0; k < gif->ImageCount; ++k) {
    const SavedImage& image = gif->SavedImages[k];
    if (!decoded.loopCount) {
      decoded.loopCount = loopCountIn({image.ExtensionBlocks, static_cast<std::size_t>(image.ExtensionBlockCount)});
    }
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, k, &control);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        const GifColorType c = map->Colors[image.RasterBits[y * d.Width + x]];
        screen[static_cast<std::size_t>(d.Top + y) * static_cast<std::size_t>(gif->SWidth) + static_cast<std::size_t>(d.Left + x)] =
            packRgb({c.Red, c.Green, c.Blue});
      }
    }
    decoded.frames.push_back({{d.Left, d.Top, d.Width, d.Height}, control.DelayTime, d.ColorMap != nullptr, screen});
  }
  DGifCloseFile(gif, &error);
  return decoded;
}

}  // namespace sim::test
