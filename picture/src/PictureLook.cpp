#include "picture/PictureLook.h"

namespace picture {

std::optional<ViewKind> viewKindNamed(std::string_view name) {
  if (name == "full") return ViewKind::Full;
  if (name == "pills") return ViewKind::Pills;
  return std::nullopt;
}

}  // namespace picture
