#include <gif_lib.h>

#include <cstring>

#include "PictureTestSupport.h"

namespace picture::test {

std::optional<DecodedGif> readGif(const std::filesystem::path& file) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(file.c_str(), &error);
  if (gif == nullptr) return std::nullopt;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return std::nullopt;
  }
  DecodedGif decoded{gif->SWidth, gif->SHeight, std::nullopt, {}};
  // The loop count, from the NETSCAPE2.0 application extension before the first frame.
  for (int i = 0; gif->ImageCount > 0 && i + 1 < gif->SavedImages[0].ExtensionBlockCount; ++i) {
    const ExtensionBlock &name = gif->SavedImages[0].ExtensionBlocks[i],
                         &data = gif->SavedImages[0].ExtensionBlocks[i + 1];
    if (name.Function == APPLICATION_EXT_FUNC_CODE && name.ByteCount == 11 &&
        std::memcmp(name.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3 && data.Bytes[0] == 1) {
      decoded.loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
    }
  }
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(gif->SWidth) * static_cast<std::size_t>(gif->SHeight), 0);
  for (int k = 0; k < gif->ImageCount; ++k) {
    const SavedImage& image = gif->SavedImages[k];
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, k, &control);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = d.ColorMap != nullptr ? d.ColorMap : gif->SColorMap;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        const GifColorType c = map->Colors[image.RasterBits[y * d.Width + x]];
        screen[static_cast<std::size_t>((d.Top + y) * gif->SWidth + d.Left + x)] = packRgb({c.Red, c.Green, c.Blue});
      }
    }
    decoded.frames.push_back({{d.Left, d.Top, d.Width, d.Height}, control.DelayTime, d.ColorMap != nullptr, screen});
  }
  DGifCloseFile(gif, &error);
  return decoded;
}

}  // namespace picture::test
