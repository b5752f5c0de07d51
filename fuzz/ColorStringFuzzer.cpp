// Colour strings: aurora::parseColorString accepts exactly its forms with
// components in 0..1, and LCPParseColorString always answers with that colour,
// the fallback's, or opaque black when the fallback is malformed too.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "FuzzCheck.h"
#include "libcolorpicker.h"

namespace {

bool inUnitRange(double value) { return value >= 0.0 && value <= 1.0; }

bool sameColor(const UIColorRef& color, const RGBA& expected) { return color && color->components() == expected; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<RGBA> parsed = aurora::parseColorString(text);
  if (parsed) {
    FUZZ_CHECK(inUnitRange(parsed->red) && inUnitRange(parsed->green) && inUnitRange(parsed->blue));
    FUZZ_CHECK(inUnitRange(parsed->alpha));
    FUZZ_CHECK(text.size() >= 4 && text[0] == '#');
  }
  const RGBA fallback = *aurora::parseColorString("#2ABB9B");
  FUZZ_CHECK(sameColor(LCPParseColorString(text, "#2ABB9B"), parsed.value_or(fallback)));
  // The input as the fallback: its colour when valid, else opaque black.
  FUZZ_CHECK(sameColor(LCPParseColorString("", text), parsed.value_or(RGBA{0, 0, 0, 1})));
  return 0;
}
