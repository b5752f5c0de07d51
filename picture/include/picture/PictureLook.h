// How a picture of the window is taken: the whole window or the band of the
// pills, at so many pixels per point. Plain values; any thread.
#pragma once

#include <optional>
#include <string_view>

namespace picture {

enum class ViewKind { Full, Pills };

// "full" or "pills"; nothing for another word.
std::optional<ViewKind> viewKindNamed(std::string_view name);

struct PictureLook {
  ViewKind view = ViewKind::Full;
  double scale = 3.0;  // pixels per point
};

}  // namespace picture
